#include "platform/FirstPaintProbe.h"

#include <QCoreApplication>
#include <QEvent>

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vx::probe {

namespace {

// VmRSS of this process in kB, or -1 when /proc cannot tell.
long residentKilobytes() {
  std::FILE* status = std::fopen("/proc/self/status", "re");
  if (!status) return -1;
  long kb = -1;
  char line[256];
  while (std::fgets(line, sizeof line, status))
    if (std::strncmp(line, "VmRSS:", 6) == 0) {
      kb = std::strtol(line + 6, nullptr, 10);
      break;
    }
  std::fclose(status);
  return kb;
}

class FirstPaintFilter : public QObject {
 public:
  FirstPaintFilter(const QString& windowName, QObject* parent)
      : QObject(parent), windowName_(windowName) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && watched->isWidgetType() &&
        watched->objectName() == windowName_) {
      timespec now{};
      clock_gettime(CLOCK_MONOTONIC, &now);
      const long long ns = static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
      std::fprintf(stderr, "vx-first-paint monotonic_ns=%lld vmrss_kb=%ld\n", ns,
                   residentKilobytes());
      std::fflush(stderr);
      std::_Exit(0);
    }
    return false;
  }

 private:
  QString windowName_;
};

}  // namespace

bool reportFirstPaintIfAsked(const QString& windowName) {
  const char* asked = std::getenv(kFirstPaintVariable);
  if (!asked || std::strcmp(asked, "1") != 0 || !QCoreApplication::instance()) return false;
  auto* app = QCoreApplication::instance();
  app->installEventFilter(new FirstPaintFilter(windowName, app));
  return true;
}

}  // namespace vx::probe
