// The page model: a module page as data plus behaviour. A page holds controls in tab order,
// each with its kind, texts, list items, check and selection state, enable and show state,
// warning colours and layout hints; child pages (pin rows, interrupt panels ...) sit at
// placeholder controls. Views render a page and feed user input back as events; the
// bindings and the owning module react to them. Nothing here draws anything.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/Host.h"

namespace tarq {

class CModuleBase;
class CSetCtrl;
class Page;

enum class ControlKind {
  StaticText,       // caption or label
  GroupBox,         // frame with a caption around related controls
  CheckBox,
  RadioButton,      // a group runs from a control marked groupStart to the next one
  DropDownList,     // choice from items only
  EditableCombo,    // items plus typed text
  EditBox,
  ReadOnlyDisplay,  // computed values (frequencies, periods)
  LinkText,         // text with <A HREF="..."> links (warnings, notes)
  ListBox,
  Spin,             // up-down buttons stepping the number of its buddy edit box
  Placeholder,      // reserved space; a child page or a column header sits here
  BarGraph,         // a bar of labelled boxes drawn from data (segments), caption in text
  Diagram,          // boxes joined to their parents, drawn from data (boxes); a box click is a link
};

// Short lower-case name of a kind for listings ("check", "edit" ...).
const char* ControlKindName(ControlKind kind);

struct Rgb {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// A control whose warning is set; black once it is cleared.
inline constexpr Rgb kWarningTextColour{128, 0, 0};
inline constexpr Rgb kNormalTextColour{0, 0, 0};
// Background of an edit box whose entry is not acceptable.
inline constexpr Rgb kInvalidEntryColour{255, 192, 192};

// Ids: 0 is an anonymous control (captions nobody refers to). An id of 0x10000 or more
// addresses a control on a child page: the child page's id in the upper 16 bits.
inline constexpr uint32_t kAnonymousControl = 0;
inline constexpr uint32_t kChildControlIdBase = 0x10000;

// Editing command that switches the focused value binding between hex and decimal.
inline constexpr uint32_t kCmdToggleHexDec = 32799;

// Placement hints for a renderer; pixel positions are the renderer's business.
struct ControlLayout {
  uint32_t groupBox = 0;  // id of the group box the control sits in, 0 for none
  int row = 0;            // row within the page (or group box)
  int column = 0;         // column within the row
  int span = 1;           // columns taken
  int width = 0;          // preferred width in layout units, 0 = renderer's choice
};

// One box of a bar graph: its label and its width in units (the widths are proportional).
struct BarSegment {
  std::string label;
  int units = 0;
  friend bool operator==(const BarSegment&, const BarSegment&) = default;
};

// One box of a diagram: joined by a line to the box named by `parent` (empty: a root). A
// click on it activates `link` like a link text of the control.
struct DiagramBox {
  std::string id;
  std::string parent;
  std::string title;   // "PLL (VCO)"
  std::string detail;  // shown beside the title ("x30", "/2")
  std::string value;   // the live value ("240 MHz", "OFF")
  std::string note;    // shown after the value while `alert` is set ("(max. 60 MHz)")
  std::string link;
  bool off = false;    // drawn greyed: the stage does not run
  bool alert = false;  // drawn red: the value passes a limit
  bool leaf = false;   // one of many similar boxes, stacked in columns of their own
  friend bool operator==(const DiagramBox&, const DiagramBox&) = default;
};

struct Control {
  uint32_t id = kAnonymousControl;
  ControlKind kind = ControlKind::StaticText;
  std::string text;                // window text: caption, edit text, selected item text
  std::vector<std::string> items;  // list and combo entries
  int selection = -1;              // selected item, -1 for none
  bool checked = false;
  bool enabled = true;
  bool shown = true;
  bool readOnly = false;
  bool groupStart = false;  // starts a radio group (and ends the previous one)
  bool tabStop = true;
  // Colour maps of the page: applied whenever the control is drawn enabled.
  std::optional<Rgb> textColour;
  std::optional<Rgb> backgroundColour;
  ControlLayout layout;
  // Spin controls: range, step and the edit box they step.
  int spinMin = 0;
  int spinMax = 0;
  int spinStep = 1;
  uint32_t buddy = 0;
  // List boxes with columns: the column headers; each item holds its cells separated by
  // tabs. A click on a header reaches the module as HeaderClicked with clickedColumn set.
  std::vector<std::string> columns;
  int clickedColumn = -1;
  // Bar graphs: the boxes from left to right and a marker line at a unit position from the
  // left edge (-1: none) with its label. Without segments the text is shown alone.
  std::vector<BarSegment> segments;
  int markerAt = -1;
  std::string markerLabel;
  // Diagrams: the boxes, every parent before its children.
  std::vector<DiagramBox> boxes;
  // The binding attached to this control, if any (owned by the module).
  CSetCtrl* binding = nullptr;

  bool IsChoice() const {
    return kind == ControlKind::DropDownList || kind == ControlKind::EditableCombo ||
           kind == ControlKind::ListBox;
  }
  bool IsButton() const { return kind == ControlKind::CheckBox || kind == ControlKind::RadioButton; }
  bool IsEdit() const { return kind == ControlKind::EditBox || kind == ControlKind::EditableCombo; }
  // Text of the selected item, or empty.
  std::string SelectedText() const;
};

// A control found by id or text, with the page (or child page) that holds it and the id
// that addresses it from the module page (child page id in the upper 16 bits).
struct ControlRef {
  Page* page = nullptr;
  Control* control = nullptr;
  uint32_t fullId = 0;
  explicit operator bool() const { return control != nullptr; }
};

struct ToolTipRequest {
  uint32_t controlId = 0;            // full id of the control the balloon points at
  const Control* control = nullptr;  // that control (anonymous captions have id 0)
  std::string title;
  std::string text;
  MessageIcon icon = MessageIcon::Information;
};

// What reaches the bindings and the module's handler after user input or program changes.
enum class ControlEvent {
  Clicked,           // check box, radio button, push
  SelectionChanged,  // list or combo selection
  TextChanged,       // edit text or combo edit text, every change
  FocusGained,
  FocusLost,
  LinkActivated,
  TextSetByProgram,  // the program replaced an edit box's text
  HeaderClicked,     // a column header of a list box (Control::clickedColumn)
};

// User input from a view or the CLI.
struct InputEvent {
  enum class Kind { Click, SelectItem, TypeText, FocusGained, FocusLost, LinkActivated, ClickHeader };
  Kind kind = Kind::Click;
  uint32_t controlId = 0;  // may address a child page
  int item = -1;           // SelectItem; ClickHeader: the column
  std::string text;        // TypeText: the whole new text; LinkActivated: the link text
  std::string href;        // LinkActivated
};

// Receives self-test lines.
using SelfTestLog = std::function<void(const std::string& line)>;

// Views observe a page through this interface. Observers are registered on the module page;
// events of child pages reach them with the child page as argument.
class PageObserver {
 public:
  virtual ~PageObserver() = default;
  virtual void OnControlChanged(Page& page, const Control& control) { (void)page; (void)control; }
  // Controls or child pages were added or removed.
  virtual void OnStructureChanged(Page& page) { (void)page; }
  virtual void OnFocusRequest(Page& page, const Control& control, bool scrollIntoView) {
    (void)page; (void)control; (void)scrollIntoView;
  }
  virtual void OnToolTipRequest(Page& page, const ToolTipRequest& request) {
    (void)page; (void)request;
  }
  virtual void OnToolTipClosed(Page& page) { (void)page; }
  virtual void OnPageDestroyed(Page& page) { (void)page; }
};

class Page {
 public:
  // Child pages route their control events here instead of to the module (sub-dialogs).
  using EventHandler = std::function<void(Page& page, Control& control, ControlEvent event)>;

  explicit Page(CModuleBase* module, Page* parent = nullptr, uint32_t childId = 0);
  ~Page();
  Page(const Page&) = delete;
  Page& operator=(const Page&) = delete;

  CModuleBase* GetModule() const { return module_; }
  Page* GetParent() const { return parent_; }
  // Id of the placeholder this child page sits at; 0 for a module page.
  uint32_t GetChildId() const { return childId_; }
  Page& Root();
  const Page& Root() const;

  // ---- building (tab order = order of adding) ----
  Control& Add(ControlKind kind, uint32_t id, std::string text = {});
  Control& AddStatic(uint32_t id, std::string text);
  Control& AddGroupBox(uint32_t id, std::string text);
  Control& AddCheckBox(uint32_t id, std::string text, CSetCtrl* binding = nullptr);
  Control& AddRadio(uint32_t id, std::string text, bool groupStart, CSetCtrl* binding = nullptr);
  Control& AddDropDown(uint32_t id, std::vector<std::string> items, CSetCtrl* binding = nullptr);
  Control& AddEditableCombo(uint32_t id, std::vector<std::string> items,
                            CSetCtrl* binding = nullptr);
  Control& AddEdit(uint32_t id, CSetCtrl* binding = nullptr);
  Control& AddDisplay(uint32_t id, std::string text = {});
  Control& AddLink(uint32_t id, std::string markup);
  Control& AddListBox(uint32_t id, std::vector<std::string> items);
  Control& AddSpin(uint32_t id, uint32_t buddy, int minimum, int maximum, int step = 1);
  Control& AddPlaceholder(uint32_t id, int width);
  Control& AddBarGraph(uint32_t id, std::string caption = {});
  Control& AddDiagram(uint32_t id, std::string caption = {});
  // Inserts a control at a tab position (clamped to the end); removes one. Removing a
  // control drops its child page and detaches its binding.
  Control& InsertAt(size_t index, ControlKind kind, uint32_t id, std::string text = {});
  bool RemoveAt(size_t index);
  // Attaches a binding to a control of this page (the Add... helpers do it themselves).
  bool AttachBinding(uint32_t id, CSetCtrl& binding);
  // Layout cursor: controls added after BeginGroup carry the group box id; NewRow starts a
  // new row (column 0).
  void BeginGroup(uint32_t groupBoxId);
  void EndGroup();
  void NewRow();

  // ---- lookup ----
  size_t GetControlCount() const { return controls_.size(); }
  Control& ControlAt(size_t index) { return *controls_[index]; }
  const Control& ControlAt(size_t index) const { return *controls_[index]; }
  // Own controls only; null for id 0 or an unknown id.
  Control* Find(uint32_t id);
  const Control* Find(uint32_t id) const;
  // Position in the tab order, -1 when not on this page.
  int IndexOf(const Control& control) const;
  // The control before this one in the tab order, or null.
  Control* ControlBefore(const Control& control);
  // This control or the next one after it that can take the focus, or null.
  Control* NextTabStop(Control& control);
  // Composite ids, searching child pages recursively.
  ControlRef FindControlById(uint32_t id);
  // Exact window text, own controls first, then child pages.
  ControlRef FindControlByText(const std::string& text);
  // What the control is called: its binding's label, a button's own text, or the caption
  // in front of it (line breaks as blanks, trailing colons removed).
  std::string LabelOf(const Control& control);

  // ---- child pages ----
  // Creates (or replaces) the child page at a placeholder control of this page.
  Page* CreateChildPage(uint32_t placeholderId);
  Page* GetChildPage(uint32_t id) const;
  // Child pages in tab order (by the position of their placeholder).
  std::vector<Page*> ChildPages() const;
  void DestroyChildPage(uint32_t id);
  void SetEventHandler(EventHandler handler) { handler_ = std::move(handler); }

  // ---- program changes (observers learn of them) ----
  bool SetText(uint32_t id, const std::string& text);
  bool SetItems(uint32_t id, std::vector<std::string> items);
  bool SetSelection(uint32_t id, int index);
  bool SetCheck(uint32_t id, bool checked);
  bool SetEnabled(uint32_t id, bool enabled);
  bool SetShown(uint32_t id, bool shown);
  bool SetReadOnly(uint32_t id, bool readOnly);
  bool SetTextColour(uint32_t id, std::optional<Rgb> colour);
  bool SetBackgroundColour(uint32_t id, std::optional<Rgb> colour);
  bool SetColumns(uint32_t id, std::vector<std::string> columns);
  // A bar graph's caption, boxes and marker (markerAt -1: none).
  bool SetBar(uint32_t id, const std::string& caption, std::vector<BarSegment> segments,
              int markerAt = -1, const std::string& markerLabel = {});
  // A diagram's boxes; observers hear of it only when they differ from the shown ones.
  bool SetDiagram(uint32_t id, std::vector<DiagramBox> boxes);
  // Tells the observers that a control changed through direct access.
  void NotifyChanged(const Control& control);
  void NotifyStructureChanged();

  // ---- user input (ids may address child pages) ----
  // False when the control does not exist or does not take this input now (hidden,
  // disabled, wrong kind, item out of range).
  bool Click(uint32_t id);
  bool SelectItem(uint32_t id, int index);
  bool TypeText(uint32_t id, const std::string& text);
  bool FocusGained(uint32_t id);
  bool FocusLost(uint32_t id);
  bool ActivateLink(uint32_t id, const std::string& href, const std::string& linkText);
  // A click on a column header of a list box with columns.
  bool ClickHeader(uint32_t id, int column);
  bool Dispatch(const InputEvent& event);
  // The link of the last LinkActivated event (for handlers).
  const std::string& GetActivatedHref() const { return activatedHref_; }
  const std::string& GetActivatedLinkText() const { return activatedText_; }
  // Menu and toolbar commands aimed at the focused control (Toggle Hex/Dec).
  bool ExecuteCommand(uint32_t command);
  // A spin button step (+1 / -1 times its step) on its buddy edit box.
  bool Spin(uint32_t spinId, int direction);

  // ---- focus (one focus per module page) ----
  // Moves the focus to a control of this page and asks views to show it.
  void SetFocus(Control& control, bool scrollIntoView = true);
  bool SetFocus(uint32_t id, bool scrollIntoView = true);
  Control* GetFocus() const;
  Page* GetFocusPage() const;
  // Full id of the focused control, 0 for none.
  uint32_t GetFocusId() const;
  // The id that finds this page's control from the module's page (child page id x 65536
  // plus the control's own id on a child page).
  uint32_t FullIdOf(const Control& control) const;

  // ---- tooltips ----
  // Focus the control (or the next tab stop after it), scroll it into view, then ask the
  // views for a balloon. False when there is no such control.
  bool ShowToolTip(uint32_t id, const std::string& text, const std::string& title);
  void ShowToolTip(Control& control, const std::string& text, const std::string& title);
  void CloseToolTip();
  const std::optional<ToolTipRequest>& CurrentToolTip() const { return Root().toolTip_; }

  // ---- observers (kept by the module page) ----
  void AddObserver(PageObserver* observer);
  void RemoveObserver(PageObserver* observer);

  // Notifications are swallowed from creation until the first show has run.
  bool IsLive() const { return Root().live_; }
  void SetLive(bool live) { Root().live_ = live; }

  // ---- page-wide work over the bindings, recursive into child pages ----
  std::vector<CSetCtrl*> Bindings() const;
  // Every binding reads its register; child pages too (only shown ones when asked).
  void RefreshBindings(bool shownChildPagesOnly);
  void UpdateBindings();
  // Visible, enabled controls in tab order; the first failure gets the focus when messages
  // are shown.
  bool Validate(bool showMessages);
  void SelfTest(const SelfTestLog& log);

 private:
  friend class CSetCtrl;
  void Deliver(Control& control, ControlEvent event);
  void RunHandler(Control& control, ControlEvent event);
  ControlRef Locate(uint32_t id);
  std::vector<PageObserver*> ObserversCopy() const;
  // Radio buttons of the group that holds this one, in tab order.
  std::vector<Control*> RadioGroupOf(const Control& control);

  CModuleBase* module_;
  Page* parent_;
  uint32_t childId_;
  std::vector<std::unique_ptr<Control>> controls_;
  std::map<uint32_t, std::unique_ptr<Page>> children_;
  std::vector<PageObserver*> observers_;
  EventHandler handler_;
  std::string activatedHref_;
  std::string activatedText_;
  uint32_t groupCursor_ = 0;
  int rowCursor_ = 0;
  int columnCursor_ = 0;
  // Kept on the module page only.
  Page* focusPage_ = nullptr;
  Control* focus_ = nullptr;
  std::optional<ToolTipRequest> toolTip_;
  bool live_ = false;
};

}  // namespace tarq
