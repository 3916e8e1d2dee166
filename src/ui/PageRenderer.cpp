#include "ui/PageRenderer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QHeaderView>
#include <QListWidget>
#include <QPainter>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <map>

#include "framework/ModuleBase.h"
#include "ui/BalloonTip.h"
#include "ui/DiagramWidget.h"
#include "ui/UiText.h"

namespace tarq {

namespace {

constexpr int kPageMargin = 10;
constexpr int kHorizontalSpacing = 8;
constexpr int kVerticalSpacing = 6;
constexpr int kGroupSpacing = 10;
constexpr int kEditWidth = 105;  // edit boxes and displays without a width of their own
constexpr int kMinimumComboWidth = 90;
constexpr int kSpinWidth = 16;
// Captions line up in a column as wide as the widest of them: one long caption pushes every
// row of its group to the right. Where that makes the group wider than the pane, such a
// caption wraps at this width instead.
constexpr int kCaptionWrapWidth = 200;
constexpr int kGroupRightEdge = 8 + 2;  // a group box's inner margin and frame

// A plain caption in front of a control that is wider than kCaptionWrapWidth, or null.
QLabel* LongCaption(QWidget* widget) {
  auto* label = qobject_cast<QLabel*>(widget);
  if (label == nullptr || label->textFormat() != Qt::PlainText) return nullptr;
  return label->sizeHint().width() > kCaptionWrapWidth ? label : nullptr;
}

void WrapCaption(QLabel& label, bool wrap) {
  if (label.wordWrap() == wrap) return;
  label.setWordWrap(wrap);
  if (wrap) {
    label.setFixedWidth(kCaptionWrapWidth);
  } else {
    label.setMinimumWidth(0);
    label.setMaximumWidth(QWIDGETSIZE_MAX);
  }
}

// The up-down buttons of an edit box (the page's spin control).
class SpinButtons : public QWidget {
 public:
  explicit SpinButtons(QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    up_ = MakeButton(Qt::UpArrow);
    down_ = MakeButton(Qt::DownArrow);
    column->addWidget(up_);
    column->addWidget(down_);
    setFixedWidth(kSpinWidth);
    setFocusPolicy(Qt::NoFocus);
  }
  QToolButton* Up() const { return up_; }
  QToolButton* Down() const { return down_; }

 private:
  QToolButton* MakeButton(Qt::ArrowType arrow) {
    auto* button = new QToolButton(this);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    button->setFixedWidth(kSpinWidth);
    button->setIconSize(QSize(7, 7));
    return button;
  }
  QToolButton* up_;
  QToolButton* down_;
};

// A bar of labelled boxes with widths proportional to their units, a caption above and an
// optional marker line; without boxes only the caption (the page colours it as a warning).
class BarGraphWidget : public QWidget {
  static inline const QColor kMarkerColour{200, 0, 0};

 public:
  explicit BarGraphWidget(QWidget* parent) : QWidget(parent) {
    setMinimumHeight(68);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  }
  void SetData(const Control& control) {
    caption_ = QString::fromStdString(control.text);
    segments_ = control.segments;
    markerAt_ = control.markerAt;
    markerLabel_ = QString::fromStdString(control.markerLabel);
    update();
  }
  QSize sizeHint() const override { return {330, 68}; }

 protected:
  void paintEvent(QPaintEvent* event) override {
    (void)event;
    QPainter painter(this);
    const QPalette& colours = palette();
    painter.setPen(colours.color(QPalette::WindowText));
    const int line = fontMetrics().height();
    const QRect area = rect().adjusted(1, 1, -2, -2);
    // The caption on the left of the first line, the marker's label on its right.
    const QRect first(area.left(), area.top(), area.width(), line);
    painter.drawText(first, Qt::AlignLeft | Qt::AlignVCenter, caption_);
    int total = 0;
    for (const BarSegment& segment : segments_) total += std::max(0, segment.units);
    if (total <= 0) return;
    const bool marked = markerAt_ >= 0 && markerAt_ <= total;
    if (marked) {
      painter.setPen(kMarkerColour);
      painter.drawText(first, Qt::AlignRight | Qt::AlignVCenter, markerLabel_);
    }
    const int top = area.top() + line + 3;
    const int height = area.bottom() - top;
    static const QColor kFills[] = {QColor(200, 200, 200), QColor(255, 224, 160), QColor(170, 210, 255),
                                    QColor(180, 235, 180), QColor(240, 190, 230)};
    int units = 0;
    size_t index = 0;
    for (const BarSegment& segment : segments_) {
      const int left = area.left() + area.width() * units / total;
      units += std::max(0, segment.units);
      const int right = area.left() + area.width() * units / total;
      const QRect box(left, top, std::max(1, right - left), height);
      painter.fillRect(box, kFills[index++ % std::size(kFills)]);
      painter.setPen(colours.color(QPalette::WindowText));
      painter.drawRect(box);
      // A box too narrow for its label shows its count alone.
      const QString label = QString::fromStdString(segment.label);
      const QString text = fontMetrics().horizontalAdvance(label) + 4 <= box.width()
                               ? QStringLiteral("%1\n%2").arg(label).arg(segment.units)
                               : QString::number(segment.units);
      painter.drawText(box, Qt::AlignCenter, text);
    }
    if (marked) {
      const int x = area.left() + area.width() * markerAt_ / total;
      painter.setPen(QPen(kMarkerColour, 2));
      painter.drawLine(x, top - 3, x, top + height);
    }
  }

 private:
  QString caption_;
  std::vector<BarSegment> segments_;
  int markerAt_ = -1;
  QString markerLabel_;
};

// A list box with columns: the cells of an item are separated by tabs.
void SetTreeItems(QTreeWidget* tree, const Control& control) {
  QStringList headers;
  for (const std::string& column : control.columns) headers << ToQt(column);
  if (tree->columnCount() != headers.size()) tree->setColumnCount(static_cast<int>(headers.size()));
  tree->setHeaderLabels(headers);
  bool same = tree->topLevelItemCount() == static_cast<int>(control.items.size());
  for (int i = 0; same && i < tree->topLevelItemCount(); ++i)
    same = tree->topLevelItem(i)->data(0, Qt::UserRole).toString() == ToQt(control.items[static_cast<size_t>(i)]);
  if (same) return;
  tree->clear();
  for (const std::string& text : control.items) {
    auto* item = new QTreeWidgetItem(tree, ToQt(text).split(QLatin1Char('\t')));
    item->setData(0, Qt::UserRole, ToQt(text));
    for (int column = 1; column < tree->columnCount(); ++column) item->setTextAlignment(column, Qt::AlignRight);
  }
}

// Group boxes do not nest; a control naming a group box that is not there sits on the page.
uint32_t GroupOf(const Page& page, const Control& control) {
  if (control.kind == ControlKind::GroupBox || control.layout.groupBox == 0) return 0;
  const Control* box = page.Find(control.layout.groupBox);
  return box && box->kind == ControlKind::GroupBox ? control.layout.groupBox : 0;
}

uint32_t FullIdOf(const Page& page, const Control& control) {
  if (control.id == kAnonymousControl) return 0;
  if (!page.GetParent()) return control.id;
  return (page.GetChildId() << 16) | (control.id & 0xFFFFu);
}

bool TakesFocus(ControlKind kind) {
  switch (kind) {
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
    case ControlKind::DropDownList:
    case ControlKind::EditableCombo:
    case ControlKind::EditBox:
    case ControlKind::ReadOnlyDisplay:
    case ControlKind::LinkText:
    case ControlKind::ListBox:
      return true;
    default:
      return false;
  }
}

// Texts, links, lists and child pages use the width they are given; the rest keep theirs.
bool FillsCell(const Control& control, bool aloneInRow) {
  switch (control.kind) {
    case ControlKind::LinkText:
    case ControlKind::ListBox:
    case ControlKind::Placeholder:
      return true;
    case ControlKind::StaticText:
      return aloneInRow;
    default:
      return false;
  }
}

void SetComboItems(QComboBox* combo, const std::vector<std::string>& items) {
  bool same = combo->count() == static_cast<int>(items.size());
  for (int i = 0; same && i < combo->count(); ++i)
    same = combo->itemText(i) == ToQt(items[static_cast<size_t>(i)]);
  if (same) return;
  combo->clear();
  for (const std::string& item : items) combo->addItem(ToQt(item));
}

void SetListItems(QListWidget* list, const std::vector<std::string>& items) {
  bool same = list->count() == static_cast<int>(items.size());
  for (int i = 0; same && i < list->count(); ++i)
    same = list->item(i)->text() == ToQt(items[static_cast<size_t>(i)]);
  if (same) return;
  list->clear();
  for (const std::string& item : items) list->addItem(ToQt(item));
}

QColor ToColour(const Rgb& rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }

// Read-only displays look like the read-only edit boxes of a desktop form: grey ground.
QPalette BasePalette(ControlKind kind) {
  QPalette palette;
  if (kind == ControlKind::ReadOnlyDisplay) {
    const QColor ground = palette.color(QPalette::Window);
    palette.setColor(QPalette::Base, ground);
  }
  return palette;
}

}  // namespace

// ================================ life cycle ================================

PageRenderer::PageRenderer(Page& page, QWidget* parent) : QWidget(parent), page_(&page) {
  setObjectName("PageRenderer");
  outer_ = new QVBoxLayout(this);
  outer_->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);
  outer_->setSpacing(0);
  outer_->addStretch(1);
  page_->AddObserver(this);
  Build();
}

PageRenderer::~PageRenderer() {
  if (balloon_) balloon_->close();
  if (page_) page_->RemoveObserver(this);
}

BalloonTip* PageRenderer::Balloon() const { return balloon_.data(); }

void PageRenderer::Detach() {
  if (page_) page_->RemoveObserver(this);
  page_ = nullptr;
  Forget();
  if (balloon_) balloon_->close();
}

void PageRenderer::SetScrollArea(QScrollArea* area) {
  if (scrollArea_) scrollArea_->viewport()->removeEventFilter(this);
  scrollArea_ = area;
  if (scrollArea_) scrollArea_->viewport()->installEventFilter(this);
  AdaptRows();
}

void PageRenderer::AdaptRows() {
  if (!scrollArea_) return;
  const int available = scrollArea_->viewport()->width() - kPageMargin;
  for (const CaptionColumn& column : captionColumns_) {
    if (!column.container) continue;
    const int needed =
        column.container->mapTo(this, QPoint(0, 0)).x() + column.naturalWidth + kGroupRightEdge;
    for (const QPointer<QLabel>& caption : column.captions)
      if (caption) WrapCaption(*caption, needed > available);
  }
  for (const QPointer<QBoxLayout>& row : blockRows_) {
    if (!row || !row->parentWidget()) continue;
    int needed = row->parentWidget()->mapTo(this, QPoint(0, 0)).x();
    int shown = 0;
    for (int i = 0; i < row->count(); ++i) {
      QWidget* widget = row->itemAt(i)->widget();
      if (!widget || widget->isHidden()) continue;
      needed += widget->sizeHint().width() + (shown++ > 0 ? row->spacing() : 0);
    }
    const QBoxLayout::Direction direction =
        needed > available ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight;
    if (row->direction() != direction) row->setDirection(direction);
  }
}

void PageRenderer::Forget() {
  blockRows_.clear();
  captionColumns_.clear();
  widgets_.clear();
  targets_.clear();
  spinOfEdit_.clear();
  ++generation_;
}

void PageRenderer::ScheduleRebuild() {
  // Control pointers may be gone already; nothing may use them until the rebuild.
  Forget();
  if (rebuildScheduled_) return;
  rebuildScheduled_ = true;
  // Rebuilt once the current input has been handled: the widget that caused the change
  // may still be on the call stack, and a burst of changes makes one rebuild.
  QTimer::singleShot(0, this, [this] { Build(); });
}

void PageRenderer::Build() {
  rebuildScheduled_ = false;
  if (!page_) return;
  const int scroll = scrollArea_ ? scrollArea_->verticalScrollBar()->value() : 0;
  const bool hadFocus = content_ && content_->isAncestorOf(QApplication::focusWidget());
  Forget();
  if (content_) {
    content_->hide();
    content_->deleteLater();
  }
  content_ = BuildContainer(*page_, 0, this);
  outer_->insertWidget(0, content_);
  QWidget* previous = nullptr;
  ChainTabOrder(*page_, previous);
  if (scrollArea_) {
    QPointer<QScrollArea> area = scrollArea_;
    QTimer::singleShot(0, this, [area, scroll] {
      if (area) area->verticalScrollBar()->setValue(scroll);
    });
  }
  if (hadFocus) FocusPage();
  AdaptRows();
  // Once laid out, the rows know where they sit.
  QTimer::singleShot(0, this, [this] { AdaptRows(); });
}

// ================================ the factory ================================

QWidget* PageRenderer::CreateControlWidget(Page& page, Control& control, QWidget* parent) {
  QWidget* widget = nullptr;
  switch (control.kind) {
    case ControlKind::StaticText: {
      auto* label = new QLabel(parent);
      label->setTextFormat(Qt::PlainText);
      widget = label;
      break;
    }
    case ControlKind::GroupBox: {
      auto* box = new QGroupBox(parent);
      auto* inner = new QVBoxLayout(box);
      inner->setContentsMargins(8, 6, 8, 8);
      inner->addWidget(BuildContainer(page, control.id, box));
      widget = box;
      break;
    }
    case ControlKind::CheckBox:
      widget = new QCheckBox(parent);
      break;
    case ControlKind::RadioButton: {
      // Groups run from one group start to the next; the page decides who is checked.
      auto* radio = new QRadioButton(parent);
      radio->setAutoExclusive(false);
      widget = radio;
      break;
    }
    case ControlKind::DropDownList:
    case ControlKind::EditableCombo: {
      auto* combo = new QComboBox(parent);
      combo->setEditable(control.kind == ControlKind::EditableCombo);
      combo->setInsertPolicy(QComboBox::NoInsert);
      // Sized to its items when first shown (the default): measuring at every change
      // makes big pages slow to build.
      combo->setMinimumWidth(kMinimumComboWidth);
      widget = combo;
      break;
    }
    case ControlKind::EditBox:
    case ControlKind::ReadOnlyDisplay: {
      auto* edit = new QLineEdit(parent);
      edit->setFixedWidth(control.layout.width > 0 ? control.layout.width : kEditWidth);
      if (control.kind == ControlKind::ReadOnlyDisplay) {
        edit->setReadOnly(true);
        edit->setPalette(BasePalette(control.kind));
      }
      widget = edit;
      break;
    }
    case ControlKind::LinkText: {
      auto* label = new QLabel(parent);
      label->setTextFormat(Qt::RichText);
      label->setWordWrap(true);
      label->setOpenExternalLinks(false);
      label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
      widget = label;
      break;
    }
    case ControlKind::ListBox: {
      if (!control.columns.empty()) {
        auto* tree = new QTreeWidget(parent);
        tree->setRootIsDecorated(false);
        tree->setSelectionMode(QAbstractItemView::SingleSelection);
        tree->setSelectionBehavior(QAbstractItemView::SelectRows);
        tree->setUniformRowHeights(true);
        tree->header()->setSectionsClickable(true);
        tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        tree->setFixedHeight(10 * tree->fontMetrics().height() + 2 * tree->frameWidth() + 6);
        widget = tree;
        break;
      }
      auto* list = new QListWidget(parent);
      list->setSelectionMode(QAbstractItemView::SingleSelection);
      // As tall as its items (up to eight rows), as wide as a form's list usually is.
      const int rows = std::clamp(static_cast<int>(control.items.size()), 3, 8);
      list->setFixedHeight(rows * list->fontMetrics().height() + 2 * list->frameWidth() + 6);
      if (control.layout.width <= 0) list->setMaximumWidth(360);
      widget = list;
      break;
    }
    case ControlKind::Spin:
      widget = new SpinButtons(parent);
      break;
    case ControlKind::BarGraph:
      widget = new BarGraphWidget(parent);
      break;
    case ControlKind::Diagram: {
      auto* diagram = new DiagramWidget(parent);
      // A box is a link of the control: the module follows it as any other link.
      diagram->SetClickHandler([this, diagram](const DiagramBox& box) {
        const std::string link = box.link;
        const std::string text = box.title + " " + box.value;
        Dispatch(diagram, [link, text](Page& p, Control& c) { p.ActivateLink(c.id, link, text); });
      });
      widget = diagram;
      break;
    }
    case ControlKind::Placeholder:
      if (Page* child = page.GetChildPage(control.id)) {
        widget = BuildContainer(*child, 0, parent);
      } else {
        widget = new QWidget(parent);
        widget->setFixedSize(std::max(0, control.layout.width), 0);
      }
      break;
  }

  // A width of its own (columns of a table of child pages) is the least the control gets;
  // edit boxes and displays have it as their fixed width already.
  if (control.layout.width > 0 && control.kind != ControlKind::Placeholder &&
      control.kind != ControlKind::EditBox && control.kind != ControlKind::ReadOnlyDisplay)
    widget->setMinimumWidth(control.layout.width);
  if (TakesFocus(control.kind)) {
    widget->setFocusPolicy(control.tabStop ? Qt::StrongFocus : Qt::ClickFocus);
  } else if (control.kind != ControlKind::GroupBox && control.kind != ControlKind::Placeholder) {
    widget->setFocusPolicy(Qt::NoFocus);
  }
  const uint32_t fullId = FullIdOf(page, control);
  if (fullId != 0) widget->setObjectName(QStringLiteral("control_%1").arg(fullId));
  widget->setProperty("tarqKind", ControlKindName(control.kind));

  widgets_[&control] = widget;
  Track(widget, page, control);
  Connect(widget, page, control);
  Apply(control);
  return widget;
}

void PageRenderer::Track(QObject* object, Page& page, Control& control) {
  targets_.insert(object, Target{&page, &control});
}

void PageRenderer::Connect(QWidget* widget, Page& page, Control& control) {
  (void)page;
  switch (control.kind) {
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
      connect(static_cast<QAbstractButton*>(widget), &QAbstractButton::clicked, this,
              [this, widget] { Dispatch(widget, [](Page& p, Control& c) { p.Click(c.id); }); });
      break;
    case ControlKind::DropDownList:
    case ControlKind::EditableCombo: {
      auto* combo = static_cast<QComboBox*>(widget);
      connect(combo, &QComboBox::activated, this, [this, combo](int index) {
        Dispatch(combo, [index](Page& p, Control& c) { p.SelectItem(c.id, index); });
      });
      if (QLineEdit* line = combo->lineEdit()) {
        connect(line, &QLineEdit::textEdited, this, [this, combo](const QString& text) {
          Dispatch(combo, [text](Page& p, Control& c) { p.TypeText(c.id, FromQt(text)); });
        });
      }
      combo->installEventFilter(this);
      break;
    }
    case ControlKind::EditBox:
    case ControlKind::ReadOnlyDisplay: {
      auto* edit = static_cast<QLineEdit*>(widget);
      connect(edit, &QLineEdit::textEdited, this, [this, edit](const QString& text) {
        Dispatch(edit, [text](Page& p, Control& c) { p.TypeText(c.id, FromQt(text)); });
      });
      edit->installEventFilter(this);
      break;
    }
    case ControlKind::LinkText:
      connect(static_cast<QLabel*>(widget), &QLabel::linkActivated, this,
              [this, widget](const QString& href) {
                Dispatch(widget, [href](Page& p, Control& c) {
                  const std::string target = FromQt(href);
                  const std::string text = AnchorText(c.text, target);
                  // An anonymous link text cannot be addressed through the page; its
                  // module handles it all the same.
                  if (c.id != kAnonymousControl) {
                    p.ActivateLink(c.id, target, text);
                  } else if (CModuleBase* module = p.GetModule()) {
                    module->OnLinkActivated(p, c, target, text);
                  }
                });
              });
      widget->installEventFilter(this);
      break;
    case ControlKind::ListBox: {
      if (auto* tree = qobject_cast<QTreeWidget*>(widget)) {
        connect(tree, &QTreeWidget::currentItemChanged, this, [this, tree](QTreeWidgetItem* current) {
          const int row = current ? tree->indexOfTopLevelItem(current) : -1;
          Dispatch(tree, [row](Page& p, Control& c) { p.SelectItem(c.id, row); });
        });
        connect(tree->header(), &QHeaderView::sectionClicked, this, [this, tree](int column) {
          Dispatch(tree, [column](Page& p, Control& c) { p.ClickHeader(c.id, column); });
        });
        tree->installEventFilter(this);
        break;
      }
      auto* list = static_cast<QListWidget*>(widget);
      connect(list, &QListWidget::currentRowChanged, this, [this, list](int row) {
        Dispatch(list, [row](Page& p, Control& c) { p.SelectItem(c.id, row); });
      });
      list->installEventFilter(this);
      break;
    }
    case ControlKind::Spin: {
      auto* spin = static_cast<SpinButtons*>(widget);
      connect(spin->Up(), &QToolButton::clicked, this,
              [this, spin] { Dispatch(spin, [](Page& p, Control& c) { p.Spin(c.id, +1); }); });
      connect(spin->Down(), &QToolButton::clicked, this,
              [this, spin] { Dispatch(spin, [](Page& p, Control& c) { p.Spin(c.id, -1); }); });
      break;
    }
    default:
      if (TakesFocus(control.kind)) widget->installEventFilter(this);
      break;
  }
  if (control.IsButton()) widget->installEventFilter(this);
}

// ================================ layout ================================

QWidget* PageRenderer::BuildContainer(Page& page, uint32_t groupId, QWidget* parent) {
  auto* container = new QWidget(parent);
  auto* column = new QVBoxLayout(container);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(kGroupSpacing);

  // Rows in order; within a row, columns in order (ties keep the tab order).
  std::map<int, std::vector<Control*>> rows;
  for (size_t i = 0; i < page.GetControlCount(); ++i) {
    Control& control = page.ControlAt(i);
    if (GroupOf(page, control) == groupId) rows[control.layout.row].push_back(&control);
  }

  QGridLayout* grid = nullptr;
  int gridRow = 0;
  std::vector<std::pair<QGridLayout*, std::vector<QPointer<QLabel>>>> longCaptions;
  QVBoxLayout* table = nullptr;  // consecutive rows of child pages
  std::vector<QGridLayout*> childGrids;
  for (auto& [row, controls] : rows) {
    std::stable_sort(controls.begin(), controls.end(), [](const Control* a, const Control* b) {
      return a->layout.column < b->layout.column;
    });
    // A spin button sits beside its edit box, in the edit box's cell.
    std::vector<const Control*> buddies;
    for (const Control* control : controls) {
      if (control->kind != ControlKind::Spin) continue;
      for (const Control* other : controls)
        if (other->id == control->buddy && other->id != 0 && other != control) {
          buddies.push_back(other);
          spinOfEdit_[other] = control;
        }
    }
    struct Cell {
      QWidget* widget;
      bool fill;
      bool block = false;  // a group box or a child page
    };
    std::vector<Cell> cells;
    std::map<const Control*, QHBoxLayout*> composites;
    bool blockRow = false;
    for (Control* control : controls) {
      if (control->kind == ControlKind::Spin) {
        const auto edit = std::find_if(composites.begin(), composites.end(), [control](auto& entry) {
          return entry.first->id == control->buddy;
        });
        if (edit != composites.end()) {
          QWidget* spin = CreateControlWidget(page, *control, container);
          edit->second->addWidget(spin);
          continue;
        }
      }
      const bool spun = std::find(buddies.begin(), buddies.end(), control) != buddies.end();
      if (spun) {
        auto* cell = new QWidget(container);
        auto* line = new QHBoxLayout(cell);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(0);
        line->addWidget(CreateControlWidget(page, *control, cell));
        composites[control] = line;
        cells.push_back({cell, false, false});
        continue;
      }
      QWidget* widget = CreateControlWidget(page, *control, container);
      const bool child = control->kind == ControlKind::Placeholder && page.GetChildPage(control->id);
      if (control->kind == ControlKind::GroupBox || child) blockRow = true;
      if (child) {
        if (auto* childColumn = qobject_cast<QVBoxLayout*>(widget->layout()))
          for (int i = 0; i < childColumn->count(); ++i)
            if (auto* childGrid = qobject_cast<QGridLayout*>(childColumn->itemAt(i)->layout()))
              childGrids.push_back(childGrid);
      }
      cells.push_back({widget, FillsCell(*control, controls.size() == 1),
                       control->kind == ControlKind::GroupBox || child});
    }
    if (cells.empty()) continue;

    if (blockRow) {
      // Group boxes (and child pages) side by side, sharing the width. Child pages stacked
      // under each other read as the rows of a table: closer together.
      const bool tableRow = std::none_of(cells.begin(), cells.end(), [](const Cell& cell) {
        return cell.block && qobject_cast<QGroupBox*>(cell.widget);
      });
      grid = nullptr;
      auto* line = new QHBoxLayout;
      line->setSpacing(kGroupSpacing);
      for (const Cell& cell : cells) line->addWidget(cell.widget, cell.block ? 1 : 0, Qt::AlignTop);
      if (tableRow) {
        if (!table) {
          table = new QVBoxLayout;
          table->setSpacing(kVerticalSpacing);
          column->addLayout(table);
        }
        table->addLayout(line);
      } else {
        table = nullptr;
        column->addLayout(line);
      }
      if (cells.size() > 1) blockRows_.emplace_back(line);
      continue;
    }
    table = nullptr;
    if (!grid) {
      grid = new QGridLayout;
      grid->setHorizontalSpacing(kHorizontalSpacing);
      grid->setVerticalSpacing(kVerticalSpacing);
      column->addLayout(grid);
      gridRow = 0;
    }
    // Captions line up in the first column; the last cell takes the rest of the row, and
    // a last, stretching column keeps the controls at their natural width on the left.
    const int count = static_cast<int>(cells.size());
    if (QLabel* caption = count > 1 ? LongCaption(cells.front().widget) : nullptr) {
      if (longCaptions.empty() || longCaptions.back().first != grid)
        longCaptions.push_back({grid, {}});
      longCaptions.back().second.emplace_back(caption);
    }
    for (int i = 0; i < count; ++i) {
      const Cell& cell = cells[static_cast<size_t>(i)];
      const Qt::Alignment align = cell.fill ? Qt::Alignment() : (Qt::AlignLeft | Qt::AlignVCenter);
      if (i + 1 < count) {
        grid->addWidget(cell.widget, gridRow, i, 1, 1, align);
      } else {
        grid->addWidget(cell.widget, gridRow, i, 1, -1, align);
      }
    }
    grid->setColumnStretch(std::max(grid->columnCount(), count + 1) - 1, 1);
    for (int c = 0; c + 1 < grid->columnCount(); ++c) grid->setColumnStretch(c, 0);
    ++gridRow;
  }

  // Measured now, before any caption wraps: what the grid needs with them on one line.
  if (!longCaptions.empty()) container->ensurePolished();
  for (auto& [captionGrid, captions] : longCaptions)
    captionColumns_.push_back({container, captionGrid->minimumSize().width(), std::move(captions)});

  // Child pages stacked under each other (pin rows, crossbar rows) line up their columns.
  if (childGrids.size() > 1) {
    container->ensurePolished();
    int columns = 0;
    for (QGridLayout* childGrid : childGrids) columns = std::max(columns, childGrid->columnCount());
    for (int c = 0; c < columns; ++c) {
      int width = 0;
      for (QGridLayout* childGrid : childGrids)
        for (int r = 0; r < childGrid->rowCount(); ++r)
          if (QLayoutItem* item = childGrid->itemAtPosition(r, c)) {
            int row, col, rowSpan, colSpan;
            childGrid->getItemPosition(childGrid->indexOf(item), &row, &col, &rowSpan, &colSpan);
            if (col == c && colSpan == 1) width = std::max(width, item->sizeHint().width());
          }
      for (QGridLayout* childGrid : childGrids) childGrid->setColumnMinimumWidth(c, width);
    }
  }
  return container;
}

void PageRenderer::ChainTabOrder(Page& page, QWidget*& previous) {
  for (size_t i = 0; i < page.GetControlCount(); ++i) {
    Control& control = page.ControlAt(i);
    if (Page* child = page.GetChildPage(control.id)) {
      ChainTabOrder(*child, previous);
      continue;
    }
    QWidget* widget = WidgetOf(&control);
    if (!widget || !TakesFocus(control.kind)) continue;
    if (previous) QWidget::setTabOrder(previous, widget);
    previous = widget;
  }
}

// ================================ model -> widgets ================================

QWidget* PageRenderer::WidgetOf(const Control* control) const {
  const auto found = widgets_.find(control);
  return found == widgets_.end() ? nullptr : found->second;
}

QWidget* PageRenderer::WidgetOf(uint32_t fullId) const {
  if (!page_ || fullId == 0) return nullptr;
  const ControlRef ref = page_->FindControlById(fullId);
  return ref ? WidgetOf(ref.control) : nullptr;
}

const Control* PageRenderer::SpinOf(const Control* edit) const {
  const auto found = spinOfEdit_.find(edit);
  return found == spinOfEdit_.end() ? nullptr : found->second;
}

void PageRenderer::Apply(const Control& control) {
  QWidget* widget = WidgetOf(&control);
  if (!widget) return;
  const bool wasApplying = applying_;
  applying_ = true;
  {
    const QSignalBlocker blocker(widget);
    switch (control.kind) {
      case ControlKind::StaticText:
        static_cast<QLabel*>(widget)->setText(CaptionText(control.text));
        break;
      case ControlKind::GroupBox:
        static_cast<QGroupBox*>(widget)->setTitle(ToQt(control.text));
        break;
      case ControlKind::CheckBox:
      case ControlKind::RadioButton: {
        auto* button = static_cast<QAbstractButton*>(widget);
        button->setText(ToQt(control.text));
        button->setChecked(control.checked);
        break;
      }
      case ControlKind::DropDownList:
      case ControlKind::EditableCombo: {
        auto* combo = static_cast<QComboBox*>(widget);
        SetComboItems(combo, control.items);
        if (combo->currentIndex() != control.selection) combo->setCurrentIndex(control.selection);
        if (QLineEdit* line = combo->lineEdit()) {
          const QString text = ToQt(control.text);
          if (line->text() != text) line->setText(text);
          line->setReadOnly(control.readOnly);
        }
        break;
      }
      case ControlKind::EditBox:
      case ControlKind::ReadOnlyDisplay: {
        auto* edit = static_cast<QLineEdit*>(widget);
        const QString text = ToQt(control.text);
        if (edit->text() != text) {
          edit->setText(text);
          edit->setCursorPosition(0);
        }
        edit->setReadOnly(control.readOnly || control.kind == ControlKind::ReadOnlyDisplay);
        break;
      }
      case ControlKind::LinkText:
        static_cast<QLabel*>(widget)->setText(LinkMarkup(control.text));
        break;
      case ControlKind::ListBox: {
        if (auto* tree = qobject_cast<QTreeWidget*>(widget)) {
          SetTreeItems(tree, control);
          QTreeWidgetItem* wanted = control.selection >= 0 ? tree->topLevelItem(control.selection) : nullptr;
          if (tree->currentItem() != wanted) tree->setCurrentItem(wanted);
          if (wanted) tree->scrollToItem(wanted);
          break;
        }
        auto* list = static_cast<QListWidget*>(widget);
        SetListItems(list, control.items);
        if (list->currentRow() != control.selection) list->setCurrentRow(control.selection);
        break;
      }
      case ControlKind::BarGraph:
        static_cast<BarGraphWidget*>(widget)->SetData(control);
        break;
      case ControlKind::Diagram:
        static_cast<DiagramWidget*>(widget)->SetBoxes(control.boxes);
        break;
      case ControlKind::Spin:
      case ControlKind::Placeholder:
        break;
    }
  }
  widget->setEnabled(control.enabled);
  if (widget->isVisibleTo(widget->parentWidget()) != control.shown) widget->setVisible(control.shown);
  ApplyColours(widget, control);
  applying_ = wasApplying;
}

void PageRenderer::ApplyColours(QWidget* widget, const Control& control) {
  // A group box passes its palette to everything inside it; child pages are containers.
  if (control.kind == ControlKind::GroupBox || control.kind == ControlKind::Placeholder ||
      control.kind == ControlKind::Spin)
    return;
  // Most controls never carry a colour: nothing to build or compare for them.
  if (!control.textColour && !control.backgroundColour) {
    if (widget->property("tarqColoured").toBool()) {
      widget->setPalette(BasePalette(control.kind));
      widget->setProperty("tarqColoured", false);
    }
    return;
  }
  widget->setProperty("tarqColoured", true);
  QPalette palette = BasePalette(control.kind);
  // The colours apply while the control is drawn enabled; disabled controls stay grey.
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    if (control.textColour) {
      const QColor colour = ToColour(*control.textColour);
      palette.setColor(group, QPalette::WindowText, colour);
      palette.setColor(group, QPalette::Text, colour);
      palette.setColor(group, QPalette::ButtonText, colour);
    }
    if (control.backgroundColour) {
      const QColor colour = ToColour(*control.backgroundColour);
      palette.setColor(group, QPalette::Base, colour);
      palette.setColor(group, QPalette::Button, colour);
    }
  }
  if (widget->palette() != palette || widget->palette().resolveMask() != palette.resolveMask())
    widget->setPalette(palette);
}

void PageRenderer::OnControlChanged(Page& page, const Control& control) {
  (void)page;
  Apply(control);
}

void PageRenderer::OnStructureChanged(Page& page) {
  (void)page;
  ScheduleRebuild();
}

void PageRenderer::OnPageDestroyed(Page& page) {
  if (&page == page_) {
    Detach();
  } else {
    ScheduleRebuild();
  }
}

// ================================ focus and scrolling ================================

void PageRenderer::ScrollIntoView(QWidget* widget) {
  if (!scrollArea_ || !widget) return;
  scrollArea_->ensureWidgetVisible(widget, 8, 8);
  // A page that was just built has no geometry yet; look again once it is laid out.
  QPointer<QScrollArea> area = scrollArea_;
  QPointer<QWidget> target = widget;
  QTimer::singleShot(0, this, [area, target] {
    if (area && target && target->isVisible()) area->ensureWidgetVisible(target, 8, 8);
  });
}

void PageRenderer::OnFocusRequest(Page& page, const Control& control, bool scrollIntoView) {
  (void)page;
  QWidget* widget = WidgetOf(&control);
  if (!widget) return;
  if (widget->focusPolicy() != Qt::NoFocus && widget->isEnabled()) {
    // The page already knows where its focus is; the echo must not come back as input.
    const bool wasApplying = applying_;
    applying_ = true;
    widget->setFocus(Qt::OtherFocusReason);
    applying_ = wasApplying;
  }
  if (scrollIntoView) ScrollIntoView(widget);
}

void PageRenderer::FocusPage() {
  if (!page_) return;
  if (Control* focus = page_->GetFocus()) {
    if (QWidget* widget = WidgetOf(focus); widget && widget->isVisible() && widget->isEnabled()) {
      widget->setFocus(Qt::TabFocusReason);
      return;
    }
  }
  if (content_) {
    // The first control of the tab order that takes the focus.
    for (QWidget* widget = content_->nextInFocusChain(); widget && widget != content_;
         widget = widget->nextInFocusChain()) {
      if (!content_->isAncestorOf(widget)) break;
      if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisible() && widget->isEnabled() &&
          targets_.contains(widget)) {
        widget->setFocus(Qt::TabFocusReason);
        return;
      }
    }
  }
  setFocus(Qt::TabFocusReason);
}

// ================================ tooltips ================================

void PageRenderer::OnToolTipRequest(Page& page, const ToolTipRequest& request) {
  (void)page;
  // Shown once the focus and scroll asked for just before have taken effect.
  const ToolTipRequest copy = request;
  const unsigned generation = generation_;
  QTimer::singleShot(0, this, [this, copy, generation] {
    if (!page_) return;
    ToolTipRequest current = copy;
    if (generation != generation_) current.control = nullptr;  // rebuilt: look it up again
    ShowBalloon(current);
  });
}

void PageRenderer::ShowBalloon(const ToolTipRequest& request) {
  if (balloon_) balloon_->close();
  QWidget* anchor = request.control ? WidgetOf(request.control) : WidgetOf(request.controlId);
  // A hidden control is pointed at through the nearest thing the user can see.
  while (anchor && !anchor->isVisible() && anchor != this) anchor = anchor->parentWidget();
  if (!anchor) anchor = this;
  if (scrollArea_ && anchor != this) scrollArea_->ensureWidgetVisible(anchor, 8, 8);
  balloon_ = new BalloonTip(ToQt(request.title), ToQt(request.text), anchor);
  connect(balloon_, &BalloonTip::closed, this, [this] {
    if (page_ && page_->CurrentToolTip()) page_->CloseToolTip();
  });
  balloon_->ShowAtAnchor();
}

void PageRenderer::OnToolTipClosed(Page& page) {
  (void)page;
  if (balloon_) balloon_->close();
}

// ================================ input ================================

void PageRenderer::Dispatch(const QObject* sender,
                            const std::function<void(Page&, Control&)>& input) {
  if (applying_ || !page_) return;
  const auto found = targets_.constFind(sender);
  if (found == targets_.constEnd()) return;
  const Target target = *found;
  const unsigned generation = generation_;
  QPointer<PageRenderer> alive(this);
  input(*target.page, *target.control);
  // The input may have switched the page or rebuilt this one.
  if (!alive || !page_ || generation != generation_) return;
  Apply(*target.control);
}

bool PageRenderer::ForwardWheel(QEvent* event) {
  if (!scrollArea_) return false;
  QCoreApplication::sendEvent(scrollArea_->verticalScrollBar(), event);
  return true;
}

bool PageRenderer::eventFilter(QObject* watched, QEvent* event) {
  if (scrollArea_ && watched == scrollArea_->viewport()) {
    if (event->type() == QEvent::Resize) AdaptRows();
    return QWidget::eventFilter(watched, event);
  }
  const auto found = targets_.constFind(watched);
  if (found == targets_.constEnd()) return QWidget::eventFilter(watched, event);
  const Control* control = found->control;
  auto* widget = static_cast<QWidget*>(watched);

  switch (event->type()) {
    case QEvent::FocusIn: {
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      // Coming back from a dialog or a drop-down list is not a new focus.
      if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) break;
      Dispatch(watched, [](Page& p, Control& c) { p.FocusGained(c.id); });
      break;
    }
    case QEvent::FocusOut: {
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) break;
      Dispatch(watched, [](Page& p, Control& c) { p.FocusLost(c.id); });
      break;
    }
    case QEvent::Wheel: {
      // A wheel turned over a control that does not have the focus scrolls the page, so
      // scrolling through a form never changes a setting by accident.
      const bool focused = widget->hasFocus();
      if (control->kind == ControlKind::DropDownList || control->kind == ControlKind::EditableCombo) {
        if (!focused) return ForwardWheel(event);
      } else if (const Control* spin = SpinOf(control)) {
        if (!focused) return ForwardWheel(event);
        const int direction = static_cast<QWheelEvent*>(event)->angleDelta().y() > 0 ? +1 : -1;
        const uint32_t spinId = spin->id;
        Dispatch(watched, [spinId, direction](Page& p, Control&) { p.Spin(spinId, direction); });
        return true;
      }
      break;
    }
    case QEvent::KeyPress: {
      const int key = static_cast<QKeyEvent*>(event)->key();
      const Control* spin = SpinOf(control);
      if (spin && (key == Qt::Key_Up || key == Qt::Key_Down)) {
        const int direction = key == Qt::Key_Up ? +1 : -1;
        const uint32_t spinId = spin->id;
        Dispatch(watched, [spinId, direction](Page& p, Control&) { p.Spin(spinId, direction); });
        return true;
      }
      break;
    }
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tarq
