// A small module page of the framework's own for the page and binding tests: a few
// registers and one control of every binding kind, plus captions, a radio group, a
// warning control and a child page.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "framework/Bindings.h"
#include "framework/Host.h"
#include "framework/Module.h"
#include "framework/Page.h"
#include "framework/Warnings.h"
#include "ModuleListContext.h"

namespace tarq::pagetest {

class PageTestContext : public ModuleListContext<CollectingHost> {
 public:

  std::vector<int> HintNumbers() const {
    std::vector<int> numbers;
    for (const auto& hint : hints) numbers.push_back(hint.first);
    return numbers;
  }
};

// Control ids of the sample page.
enum SampleIds : uint32_t {
  kIdEnableCheck = 1001,  // CSetBit, inverted, CTRL bit 0
  kIdRadioSlow = 1002,    // CSetBit, CTRL bit 1 (group start)
  kIdRadioFast = 1003,    // CSetBit, CTRL bit 2
  kIdRadioAuto = 1004,    // CSetBit, CTRL bit 3
  kIdModeCaption = 1009,
  kIdModeList = 1010,     // CSetMode, CTRL bits 4..5, value table
  kIdDividerCaption = 1019,
  kIdDividerEdit = 1020,  // CSetValue, DIV bits 0..3, offset 1, decimal
  kIdDividerSpin = 1021,
  kIdScaledCaption = 1029,
  kIdScaledEdit = 1030,   // CSetValue, SCALE bits 0..5, shift -2
  kIdNameEdit = 1040,     // CSetString, NAME
  kIdParityList = 1050,   // CSetEnum, PARITY
  kIdPrescaler = 1060,    // CSetMode, editable combo, PRESC bits 0..2
  kIdClockDisplay = 1070,
  kIdWarning = 1080,
  kIdPanelHolder = 3,     // child page
  kIdRowCheck = 1516,     // CSetBit on the child page, ROW bit 0
};

class SamplePageModule : public CModule {
 public:
  explicit SamplePageModule(const ArchitectureEntry& entry) : CModule(entry) {
    static const RegisterDecl kRegisters[] = {
        {"CTRL_INIT", 0x0003, DW16},  {"DIV_INIT", 0x00, DW8},
        {"SCALE_INIT", 0x00, DW8},    {"NAME_INIT", 0, STRVALUE},
        {"PARITY_INIT", 0, STRVALUE}, {"PRESC_INIT", 0x00, DW8},
        {"ROW_INIT", 0x00, DW8},
    };
    InitRegisters(kRegisters, sizeof kRegisters / sizeof kRegisters[0]);
  }

  void InitModule(ModuleContext& doc) override {
    CModule::InitModule(doc);
    enable.Bind(RegisterRef::Named(*this, "CTRL_INIT"), 0, true, "");
    slow.Bind(RegisterRef::Named(*this, "CTRL_INIT"), 1, false, "Speed:");
    fast.Bind(RegisterRef::Named(*this, "CTRL_INIT"), 2, false, "Speed:");
    automatic.Bind(RegisterRef::Named(*this, "CTRL_INIT"), 3, false, "Speed:");
    mode.Bind(RegisterRef::Named(*this, "CTRL_INIT"), 4, 5, 0, "", {0, 1, 3});
    divider.Bind(RegisterRef::Named(*this, "DIV_INIT"), {.lowBit = 0, .highBit = 3, .offset = 1, .hex = false});
    scaled.Bind(RegisterRef::Named(*this, "SCALE_INIT"), {.lowBit = -2, .highBit = 5, .label = "##us", .hex = false});
    name.Bind(RegisterRef::Named(*this, "NAME_INIT"), "Device name");
    parity.Bind(RegisterRef::Named(*this, "PARITY_INIT"), false, "Parity");
    prescaler.Bind(RegisterRef::Named(*this, "PRESC_INIT"), 0, 2, 1, "Prescaler");
    rowBit.Bind(RegisterRef::Named(*this, "ROW_INIT"), 0, false, "");
    AddCommentItems({{&enable, 1}, {&mode, 0}, {&divider, 0}, {&scaled, 0}, {&parity, 0x100}});
  }

  void BuildPage(Page& page) override {
    page.AddGroupBox(0, "Options");
    page.BeginGroup(0);
    page.AddCheckBox(kIdEnableCheck, "Power down", &enable);
    page.NewRow();
    page.AddRadio(kIdRadioSlow, "Slow", true, &slow);
    page.AddRadio(kIdRadioFast, "Fast", false, &fast);
    page.AddRadio(kIdRadioAuto, "Automatic", false, &automatic);
    page.EndGroup();
    page.AddStatic(kIdModeCaption, "Operating\nmode::").groupStart = true;
    page.AddDropDown(kIdModeList, {"Idle", "Normal", "Turbo"}, &mode);
    page.AddStatic(kIdDividerCaption, "Clock divider:");
    page.AddEdit(kIdDividerEdit, &divider);
    page.AddSpin(kIdDividerSpin, kIdDividerEdit, 1, 16);
    page.AddStatic(kIdScaledCaption, "Sample time:");
    page.AddEdit(kIdScaledEdit, &scaled);
    page.AddStatic(0, "Name:");
    page.AddEdit(kIdNameEdit, &name);
    page.AddStatic(0, "Parity:");
    page.AddDropDown(kIdParityList, {"None = UART_PARITY_NONE", "Even=UART_PARITY_EVEN", "Odd"},
                     &parity);
    page.AddStatic(0, "Prescaler:");
    page.AddEditableCombo(kIdPrescaler, {"Direct (=1)", "Half (=2)", "Quarter (=4)"}, &prescaler);
    page.AddDisplay(kIdClockDisplay);
    page.AddLink(kIdWarning, "");
    page.AddPlaceholder(kIdPanelHolder, 100);
    Page* row = page.CreateChildPage(kIdPanelHolder);
    row->AddCheckBox(kIdRowCheck, "Row enabled", &rowBit);
  }

  void UpdateEnables() override { ++updateEnablesCalls; }
  void UpdateValues() override { ++updateValuesCalls; }

  CSetBit enable, slow, fast, automatic, rowBit;
  CSetMode mode, prescaler;
  CSetValue divider, scaled;
  CSetString name;
  CSetEnum parity;
  int updateEnablesCalls = 0;
  int updateValuesCalls = 0;
};

inline ArchitectureEntry SampleEntry(const std::string& name = "SAMPLE_0") {
  ArchitectureEntry entry;
  entry.name = name;
  entry.kind = "SAMPLE";
  entry.linkedModule = "NONE";
  return entry;
}

// A sample module attached to a context, with its page built.
struct SampleFixture {
  SampleFixture() : module(SampleEntry()) {
    context.modules.push_back(&module);
    module.InitModule(context);
    module.CreatePage();
    context.hints.clear();
  }
  Register& Reg(const std::string& name) { return *module.FindOwnRegister(name); }
  Page& page() { return *module.GetPage(); }
  Control& control(uint32_t id) { return *module.FindControlById(id).control; }

  PageTestContext context;
  SamplePageModule module;
};

}  // namespace tarq::pagetest
