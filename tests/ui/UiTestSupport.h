// Helpers of the GUI tests: a host that answers dialogs without showing them, a copy of an
// example project, a module of the tests' own with a control of every kind, and a
// document with its main window over such a copy.
#pragma once

#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "framework/Bindings.h"
#include "framework/HtmlModule.h"
#include "framework/Module.h"
#include "project/ProjDoc.h"
#include "ui/GuiHost.h"

namespace tarq {
class MainWindow;
class PageRenderer;
}

namespace tarq::uitest {

// Test objects register themselves; the test main runs each.
bool RegisterTest(QObject* (*make)());
#define TARQ_UI_TEST(Class) \
  static const bool registered##Class = ::tarq::uitest::RegisterTest([]() -> QObject* { return new Class; })

// Records every message box and question and answers from a queue.
class TestHost : public GuiHost {
 public:
  struct Entry {
    std::string kind;  // "message", "yesnocancel", "yesno", "okcancel"
    std::string text;
  };
  std::vector<Entry> entries;
  std::deque<Answer> answers;
  Answer defaultAnswer = Answer::Cancel;
  bool Saw(const std::string& text) const;

 protected:
  Answer Ask(Buttons buttons, const std::string& text, MessageIcon icon) override;
};

// A copy of examples/<group> inside `dir`; returns the project folder.
QString CopyExample(const QTemporaryDir& dir, const QString& group, const QString& as = {});
// The file's lines without the banner's date line, which differs between two saves.
QStringList LinesWithoutDate(const QString& path);

// Control ids of the test module's page.
enum TestControl : uint32_t {
  kIdGroup = 1001,
  kIdTransmit = 1002,   // SCICR bit 3
  kIdReceive = 1003,    // SCICR bit 2; the parity list follows it
  kIdNormal = 1004,     // SCICR bit 7 clear
  kIdLoop = 1005,       // SCICR bit 7 set
  kIdParityCaption = 1006,
  kIdParity = 1007,     // SCICR bits 1..0
  kIdBitsCaption = 1008,
  kIdBits = 1009,       // editable combo, SCICR bit 4, offset 8
  kIdDivisorCaption = 1010,
  kIdDivisor = 1011,    // SCIBR bits 12..0, 1..0x1FFF, hexadecimal
  kIdDivisorSpin = 1012,
  kIdRate = 1013,       // display: 1000000 / divisor
  kIdWarning = 1014,    // dark red while the transmitter is off
  kIdLink = 1015,
  kIdList = 1016,
  kIdRowHolder = 20,
  kIdRowCheck = 1516,   // on the child page, SCICR bit 6
};

inline constexpr const char* kTransmitterOff = "The transmitter is off";
inline constexpr const char* kLinkMarkup =
    "Timing is set in <A HREF=\"tarq:SCI_1/SCI/1011?tiptext=Set%20this&tiptitle=Note\">SCI_1</A>.";

// Serial-port-like module of the tests, registered as kind SCI.
class GuiTestModule : public CModule {
 public:
  explicit GuiTestModule(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);
  void InitModule(ModuleContext& doc) override;
  void BuildPage(Page& page) override;
  void UpdateValues() override;
  void UpdateEnables() override;
  void CheckWarnings() override;

  CSetBit transmit, receive, normal, loop, rowBit;
  CSetMode parity, bits;
  CSetValue divisor;
};

// An HTML page module of the tests, registered as kind PINOUT; loads `startUrl`.
class HtmlTestModule : public CHtmlModule {
 public:
  explicit HtmlTestModule(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);
  void OnPageLoaded() override { ++loads; }
  int loads = 0;
  static std::string startUrl;
};

// The test modules take the kinds SCI and, unless the real pinout page is wanted, PINOUT.
void RegisterTestModules(CProjDoc& document, bool testPinout = true);

// A document with its main window, open on a copy of an example project.
struct Session {
  explicit Session(const QString& group = "fenn", bool show = true, bool testPinout = true);
  ~Session();
  bool Open();

  CModuleBase* Module(const char* prefix) const;
  PageRenderer* Renderer() const;
  // The widget of a control of the page on screen.
  QWidget* Widget(uint32_t id) const;
  Page* CurrentPage() const;
  // Lets the event loop run the idle passes that are due.
  void Idle();

  QTemporaryDir dir;
  QString project;
  TestHost host;
  std::unique_ptr<CProjDoc> document;
  std::unique_ptr<MainWindow> window;
};

}  // namespace tarq::uitest
