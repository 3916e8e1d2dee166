// The pinout page module against a stand-in for the web page: what it sends, the check-box
// states and the check-box clicks that place a module's signals.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "../support/ModuleHarness.h"
#include "framework/Host.h"
#include "modules/gpio.h"
#include "modules/pinout.h"

namespace tarq {
namespace {

// The script side of a pinout page, kept as plain data.
class FakePage : public HtmlView {
 public:
  bool IsActiveView() const override { return true; }
  void Redraw() override {}
  void Load(const std::string& url) override { loaded = url; }
  bool CallScript(const std::string& function, const std::vector<std::string>& arguments,
                  std::string& result, std::string& reason) override {
    calls.push_back(function);
    if (!scriptsReady) {
      reason = "Cannot GetScript";
      return false;
    }
    if (function == "SetPinName") {
      pins[arguments.at(0)] = {arguments.at(1), arguments.at(2)};
      result = "true";
    } else if (function == "GetGpioCheckboxes") {
      result = boxNames;
    } else if (function == "SetGpioCheckbox") {
      boxes[arguments.at(0)] = std::stoi(arguments.at(1));
      result = "true";
    } else if (function == "SetCpuName") {
      cpuName = arguments.at(0);
      result = "true";
    } else if (function == "SetPreliminary") {
      preliminary = arguments.at(0);
      result = "true";
    } else if (function == "ShowView") {
      view = std::stoi(arguments.at(0));
      result = "true";
    } else if (function == "GetActiveView") {
      result = std::to_string(view);
    } else {
      reason = "Cannot GetScript";
      return false;
    }
    return true;
  }

  bool scriptsReady = true;
  std::string loaded;
  std::string boxNames;
  std::vector<std::string> calls;
  std::map<std::string, std::pair<std::string, std::string>> pins;  // function, link
  std::map<std::string, int> boxes;
  std::string cpuName;
  std::string preliminary;
  int view = 0;
};

// A Brel project whose tree and port descriptions are the test's own.
ModuleProject PinoutProject() {
  return ModuleProject({.part = "CVX-28",
                        .tree = "PINOUT PINOUT NONE IRQ: \"!Pinout!Package Pins\"\n"
                                "SYS SYS_Brel NONE IRQ: \"System\"\n"
                                "GPIO_A GPIO NONE IRQ: \"Port A\"\n"
                                "GPIO_B GPIO NONE IRQ: \"Port B\"\n"
                                "SCI_0 EMPTY NONE IRQ: \"Serial\"\n",
                        .moduleInfo = "PINOUT\n{\n  PAGE=../../etc/CVX-28.html\n  CPUNAME=CVX-28\n"
                                      "  PRELIMINARY=Yes\n}\n"
                                      "GPIO_A\n{\n  0, SCI_0.RXD\n  3, PWM.PWM3, GPS0:SCI_0.TXD\n  PER=0\n}\n"
                                      "GPIO_B\n{\n  2, SPI_0.MISO, GPS23:SCI_0.TXD\n  PER=0\n}\n",
                        .idle = false});
}
CpmGPIO& Port(ModuleProject& project, char letter) {
  return project.Module<CpmGPIO>(std::string("GPIO_") + letter);
}

TEST(Pinout, FillsThePageOnceTheProjectIsLoadedAndRetriesFailedPinNames) {
  ModuleProject project = PinoutProject();
  ASSERT_TRUE(project.Opened());
  CpmPINOUT& pinout = project.Module<CpmPINOUT>("PINOUT");
  // The page comes from the program's pages folder whatever path the parameter gives.
  EXPECT_EQ(pinout.GetStartUrl(), "file://" + (std::filesystem::absolute(project.ProgramFolder()) / "pages" / "CVX-28.html").generic_string());
  EXPECT_TRUE(pinout.IsPreliminary());
  // PER of both ports; the Brel group lists no SYS registers here.
  EXPECT_EQ(pinout.RunTimeRegisters().size(), 2u);

  FakePage page;
  page.scriptsReady = false;
  pinout.AttachView(&page);
  EXPECT_EQ(page.loaded, pinout.GetStartUrl());
  project.Doc().OnIdle();  // the first pass after opening: the update after loading
  EXPECT_FALSE(pinout.PinNamesSent());

  page.scriptsReady = true;
  page.boxNames = "GPIOXB_SCI_0, GPIOXB_SCI_0__b2,GPIOXB_SCI_1,OTHER";
  pinout.OnDocumentComplete();
  EXPECT_TRUE(pinout.PinNamesSent());
  EXPECT_TRUE(pinout.CheckBoxesSent());
  EXPECT_EQ(page.cpuName, "CVX-28");
  EXPECT_EQ(page.preliminary, "1");
  ASSERT_EQ(page.pins.size(), 3u);
  EXPECT_EQ(page.pins["GPIO_A3"].first, "GPIO_A3");
  EXPECT_EQ(page.pins["GPIO_A3"].second, Port(project, 'A').PinLink(3) + "?tiptext=Pinout%3A%20GPIO_A3");
  // A project without SCI_1 leaves its box alone; names without the prefix likewise.
  EXPECT_EQ(page.boxes.count("GPIOXB_SCI_1"), 0u);
  EXPECT_EQ(page.boxes.count("OTHER"), 0u);
  EXPECT_EQ(page.boxes["GPIOXB_SCI_0"], 0);

  // The view the user chose survives the page's data exchange.
  page.view = 1;
  EXPECT_TRUE(pinout.DoDataExchange(true));
  EXPECT_EQ(pinout.GetActiveView(), 1);
  pinout.DetachView();
}

TEST(Pinout, CheckBoxStatesAndClicksThatPlaceTheSignals) {
  ModuleProject project = PinoutProject();
  ASSERT_TRUE(project.Opened());
  project.Doc().OnIdle();
  CpmPINOUT& pinout = project.Module<CpmPINOUT>("PINOUT");
  FakePage page;
  page.boxNames = "GPIOXB_SCI_0,GPIOXB_SCI_0__b2,GPIOXB_SCI_0__a3";
  pinout.AttachView(&page);
  pinout.OnDocumentComplete();
  EXPECT_EQ(page.boxes["GPIOXB_SCI_0"], 0);

  // Two signals, one placed: partly.
  Port(project, 'A').SelectFunction(0, 1);
  EXPECT_EQ(pinout.CheckBoxState("GPIOXB_SCI_0"), 2);
  EXPECT_EQ(pinout.CheckBoxState("GPIOXB_SCI_0__a3"), 0);

  // A click on the box for port B pin 2 places TXD there, not on the earlier A3.
  pinout.OnLinkQuery(&pinout, "tarqna:PINOUT/PINOUT?GPIOXB_SCI_0__b2", "GPIOXB_SCI_0__b2");
  EXPECT_EQ(Port(project, 'B').CurrentFunctionName(2), "TXD");
  EXPECT_EQ(Port(project, 'A').CurrentFunction(3), 0);
  EXPECT_EQ(page.boxes["GPIOXB_SCI_0"], 1);
  EXPECT_EQ(page.boxes["GPIOXB_SCI_0__b2"], 1);
  EXPECT_EQ(page.pins["GPIO_B2"].first, "TXD");
  pinout.DetachView();
}

TEST(Pinout, LinksEachPortsPeripheralModeRegisterAndTheClockOutputRegisterWhenAPortRoutesIt) {
  // A Tebo part: the selector register joins; the clock-output register only with the
  // clock-output pin on port A.
  for (const bool clockOutputPin : {false, true}) {
    SCOPED_TRACE(clockOutputPin);
    ModuleProject project({.part = "CVX-21",
                           .tree = "PINOUT PINOUT NONE IRQ: \"!Pinout!Package Pins\"\n"
                                   "SYS SYS_V2_Classic NONE IRQ: \"System\"\n"
                                   "GPIO_A GPIO NONE IRQ: \"Port A\"\n"
                                   "GPIO_C GPIO NONE IRQ: \"Port C\"\n",
                           .moduleInfo = std::string("PINOUT\n{\n  CPUNAME=CVX-21\n}\nGPIO_A\n{\n") +
                                         (clockOutputPin ? "  0, CLKOSR6:SYS.CLKO0\n" : "  0, SCI_0.RXD\n") +
                                         "}\nGPIO_C\n{\n  1, SCI_0.TXD\n}\n",
                           .idle = false});
    ASSERT_TRUE(project.Opened());
    auto& pinout = project.Module<CpmPINOUT>("PINOUT");
    std::vector<std::string> names;
    for (const Register* reg : pinout.RunTimeRegisters()) names.push_back(reg->name);
    std::vector<std::string> expected{"PER_INIT", "PER_INIT", "-SIM_GPS_INIT"};
    if (clockOutputPin) expected.push_back("-SIM_CLKOSR_INIT");
    EXPECT_EQ(names, expected);
    // The port registers are the ports' own, in port order.
    ASSERT_GE(pinout.RunTimeRegisters().size(), 2u);
    EXPECT_EQ(pinout.RunTimeRegisters()[1], &project.Reg("GPIO_C", "PER_INIT"));
  }
}

}  // namespace
}  // namespace tarq
