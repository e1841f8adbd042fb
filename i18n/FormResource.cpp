#include "i18n/FormResource.h"

#include "i18n/MLDTypes.h"

#include <QFile>
#include <QString>

namespace vx::i18n {

namespace {
constexpr qint64 kMaxStoredFormSize = 64 * 1024 * 1024;
}

std::string loadStoredFormResource(const std::string& formClassName) {
  QFile resource(QString::fromLatin1(kStoredFormResourcePrefix) + QString::fromStdString(formClassName));
  if (formClassName.empty() || !resource.open(QIODevice::ReadOnly))
    throw EIvDictionaryError("The stored form " + formClassName + " is not among the program's resources");
  if (resource.size() > kMaxStoredFormSize)
    throw EIvDictionaryError("The stored form " + formClassName + " is too large");
  const QByteArray bytes = resource.readAll();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace vx::i18n
