#include "vxcomp/login/ui/UnitTreeView.h"

#include "platform/ResourceStrings.h"
#include "vxcomp/login/LoginStrings.h"
#include "artwork/login/LoginArtwork.h"

#include <QPixmap>

#include <stdexcept>

using vx::login::TNodeData;

Q_DECLARE_METATYPE(vx::login::TNodeData)

namespace {
constexpr int kDataRole = Qt::UserRole + 1;
}

TVXUnitTreeView::TVXUnitTreeView(QWidget* parent)
    : QTreeWidget(parent), session_(&vx::db::Session::defaultSession()) {
  vx::login::registerStrings();
  vxInitLoginArtwork();
  setHeaderHidden(true);
  setColumnCount(1);
  setEditTriggers(QAbstractItemView::NoEditTriggers);  // read-only
  setIndentation(19);
  // The ten images, normal and selected in turn, from one strip.
  QPixmap strip(":/vxlogin/unittree.png");
  QImage image = strip.toImage().convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixelColor(x, y) == QColor(255, 0, 255)) image.setPixelColor(x, y, Qt::transparent);
  const int size = vx::login::artwork::kTreeImageSize;
  for (int i = 0; i < vx::login::artwork::kTreeImageCount; ++i)
    images_.emplace_back(QPixmap::fromImage(image.copy(i * size, 0, size, size)));
  setIconSize(QSize(size, size));
  query_ = std::make_unique<vx::db::Query>(*session_);
}

TVXUnitTreeView::~TVXUnitTreeView() = default;

void TVXUnitTreeView::fail(const QString& message) const {
  throw std::runtime_error("TVXUnitTreeView: " + message.toStdString());
}

void TVXUnitTreeView::setSession(vx::db::Session& session) {
  if (active_) fail(vx::res::loadResString(vx::login::sCannotChangeDatabase));
  session_ = &session;
  query_ = std::make_unique<vx::db::Query>(session);
  query_->databaseName = databaseName_;
}

void TVXUnitTreeView::setDatabaseName(const std::string& name) {
  if (name == databaseName_) return;
  if (active_) fail(vx::res::loadResString(vx::login::sCannotChangeDatabase));
  databaseName_ = name;
  query_->databaseName = name;
}

void TVXUnitTreeView::setViewThisLibrary(bool on) {
  viewThisLibrary_ = on;
  if (active_) RefreshTree();
}

void TVXUnitTreeView::setViewOtherLibrary(bool on) {
  viewOtherLibrary_ = on;
  if (active_) RefreshTree();
}

void TVXUnitTreeView::setActive(bool on) {
  if (on == active_) return;
  if (!on) {
    clear();
    unitList_.clear();
    active_ = false;
    return;
  }
  hasIll_ = vx::login::HasILLColumn(*session_, databaseName_);
  query_->setSql(vx::login::unitQueryLines(hasIll_));
  active_ = true;
  try {
    RefreshTree();
  } catch (...) {
    clear();
    unitList_.clear();
    active_ = false;
    throw;
  }
}

void TVXUnitTreeView::RefreshTree() {
  if (!active_) fail(vx::res::loadResString(vx::login::sCannotRefresh));
  clear();
  if (viewThisLibrary_)
    LoadUnits(addRoot(vx::res::loadResString(vx::login::sThisLibrary), vx::login::kImageThisLibrary), 1);
  if (viewOtherLibrary_)
    LoadUnits(addRoot(vx::res::loadResString(vx::login::sOtherLibrary), vx::login::kImageOtherLibrary), 0);
}

QTreeWidgetItem* TVXUnitTreeView::addRoot(const QString& text, int image) {
  auto* root = new QTreeWidgetItem(this, QStringList(text));
  setImages(root, image);
  return root;
}

void TVXUnitTreeView::setImages(QTreeWidgetItem* item, int image) {
  // The selected image stands right after the normal one.
  QIcon icon;
  icon.addPixmap(images_[std::size_t(image)].pixmap(iconSize()), QIcon::Normal);
  icon.addPixmap(images_[std::size_t(image + 1)].pixmap(iconSize()), QIcon::Selected);
  item->setIcon(0, icon);
}

void TVXUnitTreeView::LoadUnits(QTreeWidgetItem* root, int thisLibrary) {
  vx::login::LoadUnitList(*query_, thisLibrary, hasIll_, unitList_);
  setUpdatesEnabled(false);
  vx::login::PlaceUnits(unitList_, root, thisLibrary, showIllUnit_,
                        [this](void* parent, const vx::login::TUnitInfo& unit, const TNodeData& info,
                               int image) -> void* {
                          auto* item = new QTreeWidgetItem(static_cast<QTreeWidgetItem*>(parent),
                                                           QStringList(QString::fromStdString(unit.Name)));
                          item->setData(0, kDataRole, QVariant::fromValue(info));
                          setImages(item, image);
                          return item;
                        });
  setUpdatesEnabled(true);
}

std::optional<TNodeData> TVXUnitTreeView::nodeData(const QTreeWidgetItem* item) {
  if (!item) return std::nullopt;
  const QVariant v = item->data(0, kDataRole);
  if (!v.isValid()) return std::nullopt;
  return v.value<TNodeData>();
}

void TVXUnitTreeView::SelectUnit(int unitId) {
  const std::size_t i = unitList_.firstWithUnitId(unitId);
  if (i == unitList_.size() || !unitList_.unit(i).Node)
    fail(vx::res::formatMessage(vx::res::loadResString(vx::login::sUnableToSelect),
                                {QString::number(unitId)}));
  auto* item = static_cast<QTreeWidgetItem*>(unitList_.unit(i).Node);
  for (QTreeWidgetItem* p = item->parent(); p; p = p->parent()) p->setExpanded(true);
  setCurrentItem(item);
  scrollToItem(item);
}

int TVXUnitTreeView::SelectedUnitId() const {
  const auto info = nodeData(currentItem());
  return info ? info->UnitId : 0;
}

bool TVXUnitTreeView::SelectedIsILL() const {
  const auto info = nodeData(currentItem());
  if (!info) fail(vx::res::loadResString(vx::login::sNoUnitSelected));
  return info->IsILL;
}
