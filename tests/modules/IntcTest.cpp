// The interrupt controller on real projects: the vector tables of every part, the three
// layouts with their registers and checks, the user slots, the vector claims other modules
// make, and the interrupt panels it builds on its own page and on other modules' pages.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>

#include "../support/ModuleHarness.h"
#include "framework/Capabilities.h"
#include "framework/Module.h"
#include "framework/TextUtil.h"
#include "framework/Warnings.h"
#include "modules/intc.h"

namespace tarq {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The value of a define line of a header, or "<absent>".
std::string DefineValue(const std::string& header, const std::string& name) {
  std::istringstream lines(header);
  std::string line;
  while (std::getline(lines, line)) {
    if (StartsWith(line, "#define " + name + " ")) return Trim(line.substr(8 + name.size()));
  }
  return "<absent>";
}

// A project of a part on its real architecture file; `defines` follow the part line.
ModuleProject IntcProject(const std::string& part, const std::string& defines = {}) {
  return ModuleProject({.part = part, .defines = defines, .idle = false});
}
// The part's interrupt controller, whatever its prefix.
CpmINTC* FindIntc(ModuleProject& project) {
  return dynamic_cast<CpmINTC*>(FindCapability<InterruptController>(&project.Doc()));
}
CpmINTC& Intc(ModuleProject& project) { return *FindIntc(project); }
Register& Reg(ModuleProject& project, const std::string& name) {
  return project.Reg(Intc(project).GetPrefix(), name);
}
// Ids of a declared control's caption and unit (0 when the layout lacks the control).
uint32_t CaptionId(ModuleProject& project, const std::string& key) {
  const DeclaredControl* control = Intc(project).Declaration().Find(key);
  return control ? control->captionId : 0;
}
uint32_t UnitId(ModuleProject& project, const std::string& key) {
  const DeclaredControl* control = Intc(project).Declaration().Find(key);
  return control ? control->unitId : 0;
}
void SetText(ModuleProject& project, const std::string& name, const std::string& text) {
  Register& reg = Reg(project, name);
  reg.text = text;
  reg.value = text.empty() ? 0 : 1;
}
// Runs a warnings pass and returns the controller's warning texts in list order.
std::vector<std::string> Warnings(ModuleProject& project) {
  project.Check();
  std::vector<std::string> texts;
  for (const Warning& warning : project.WarningsOf(Intc(project).GetPrefix())) texts.push_back(warning.text);
  return texts;
}
std::string WarningOf(ModuleProject& project, uint32_t id) {
  return project.WarningText(Intc(project).GetPrefix(), id);
}

// A module of the project that uses vectors and shows their panels, as peripherals do.
class VectorUser : public CModule {
 public:
  VectorUser(const std::string& name, const std::string& vectors) : CModule(Entry(name, vectors)) {}
  void BuildPage(Page& page) override {
    page.AddPlaceholder(kInterruptHeaderFirst, 600);
    page.NewRow();
    for (size_t n = 0; n < InterruptUsers().size(); ++n) {
      page.AddPlaceholder(kInterruptPanelBase + static_cast<uint32_t>(n), n == 0 ? 600 : 150);
      page.NewRow();
    }
  }
  bool Claim(size_t user, bool enable, const std::string& name) {
    return GetInterruptController()->ClaimVector(InterruptUsers()[user], enable, name, this);
  }

 private:
  static ArchitectureEntry Entry(const std::string& name, const std::string& vectors) {
    ArchitectureEntry entry;
    entry.name = name;
    entry.kind = "USER";
    entry.linkedModule = "NONE";
    entry.interrupts = "IRQ:" + vectors;
    return entry;
  }
};

using nlohmann::json;

}  // namespace

// ---- vector tables ----

TEST(IntcTables, EveryPartGetsItsFamilyTableWithItsReservedVectors) {
  const json matrix = json::parse(ReadFile(std::string(TARQ_SOURCE_DIR) + "/data/family/family.json"));
  int parts = 0;
  for (const json& part : matrix["parts"]) {
    const std::string name = part["part"];
    SCOPED_TRACE(name);
    const json& vectors = matrix["vectorTables"][part["vectorTable"].get<std::string>()]["vectors"];
    const std::vector<IntcVector> table = CpmINTC::VectorTableOf(name);
    ASSERT_EQ(table.size(), vectors.size());
    std::set<int> reserved;
    for (int n : part.value("reservedVectors", std::vector<int>{})) reserved.insert(n);
    for (size_t n = 0; n < table.size(); ++n) {
      EXPECT_EQ(table[n].text, std::to_string(n) + ". " + vectors[n][1].get<std::string>());
      uint32_t flags = 0;
      ASSERT_TRUE(ReadCIntegerExact(vectors[n][2].get<std::string>(), flags));
      EXPECT_EQ(table[n].flags, reserved.count(static_cast<int>(n)) ? 0x13u : flags) << n;
    }
    ++parts;
  }
  EXPECT_EQ(parts, 35);
  // The Dorn parts without the CAN controller lose its four vectors; the others keep them.
  EXPECT_EQ(CpmINTC::VectorTableOf("CVX-31")[23].flags, 0x13u);
  EXPECT_EQ(CpmINTC::VectorTableOf("CVX-33")[23].flags, 0xF0u);
  EXPECT_TRUE(CpmINTC::VectorTableOf("CVX-99").empty());
  EXPECT_EQ(CpmINTC::SourceNameOf("21. SCI Transmitter Empty/Idle"), "SCI Transmitter Empty/Idle");
}

TEST(IntcTables, TheLayoutsHaveTheirFixedRegistersAndTwoRegistersPerVector) {
  struct Case {
    const char* part;
    const char* module;
    IntcLayout layout;
    size_t vectors;
    std::vector<std::string> fixed;
  };
  const Case cases[] = {
      {"CVX-03", "ITCN", IntcLayout::Classic, 64,
       {"-IRQA_ENABLED", "-IRQB_ENABLED", "-IRQA_TRIGGER", "-IRQB_TRIGGER"}},
      {"CVX-06", "INTC", IntcLayout::Standard, 78,
       {"ICTL_INIT", "FIM0_INIT", "FIM1_INIT", "FIVA0_INIT", "FIVA1_INIT"}},
      {"CVX-18", "INTC", IntcLayout::Standard, 86, {}},
      {"CVX-34", "INTC", IntcLayout::Standard, 67, {}},
      {"CVX-29", "WINTC", IntcLayout::UserSlot, 51,
       {"ICSR_INIT", "IAR0_INIT", "IAR1_INIT", "IAR2_INIT", "FASTINT_ENABLE"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.part);
    ModuleProject project = IntcProject(c.part);
    ASSERT_TRUE(project.Opened() && FindIntc(project));
    CpmINTC& intc = Intc(project);
    EXPECT_EQ(intc.GetPrefix(), c.module);
    EXPECT_EQ(intc.GetLayout(), c.layout);
    ASSERT_EQ(intc.GetVectorCount(), c.vectors);
    const size_t fixed = c.layout == IntcLayout::Classic ? 4 : 5;
    ASSERT_EQ(intc.GetRegisterCount(), fixed + 2 * c.vectors);
    for (size_t i = 0; i < c.fixed.size(); ++i) EXPECT_EQ(intc.Registers()[i].name, c.fixed[i]);
    const Register& lastIsr = intc.Registers()[fixed + 2 * (c.vectors - 1)];
    EXPECT_EQ(lastIsr.name, Format("-INT_VECTOR_ADDR_%zu", c.vectors - 1));
    EXPECT_EQ(intc.Registers().back().name, Format("-INT_PRIORITY_LEVEL_%zu", c.vectors - 1));
    EXPECT_TRUE(intc.Registers().back().Has(NOSHOWLIST));
    // Fixed routines and priorities are never written.
    for (uint32_t n = 0; n < c.vectors; ++n) {
      const uint32_t flags = intc.Vectors()[n].flags;
      EXPECT_EQ(intc.IsrRegister(n)->Has(DUMMYREG), (flags & 0x1) != 0) << n;
      EXPECT_EQ(intc.PriorityRegister(n)->Has(DUMMYREG), (flags & 0x6) != 0) << n;
    }
    EXPECT_EQ(intc.IsrRegister(0)->text, "Start");
    EXPECT_FALSE(intc.IsModified());
  }
}

// ---- layout rows ----

// One part of each chip group, with and without the external pins (the user-slot parts have
// both, but their page shows no IRQ control); every layout row is met.
struct LayoutPart {
  const char* part;
  IntcLayout layout;
  bool pins;
};
const LayoutPart kLayoutParts[] = {
    {"CVX-03", IntcLayout::Classic, true},   {"CVX-02", IntcLayout::Classic, false},
    {"CVX-08", IntcLayout::Standard, true},  {"CVX-21", IntcLayout::Standard, false},
    {"CVX-28", IntcLayout::UserSlot, true},
};

TEST(IntcLayouts, EveryRowDeclaresItsPageWithoutFaultAndOnlyTheControlsItHas) {
  std::set<IntcLayout> met;
  for (const LayoutPart& c : kLayoutParts) {
    SCOPED_TRACE(c.part);
    ModuleProject project = IntcProject(c.part);
    ASSERT_TRUE(project.Opened() && FindIntc(project));
    CpmINTC& intc = Intc(project);
    const IntcVariant& row = intc.Variant();
    ASSERT_EQ(row.layout, c.layout);
    met.insert(row.layout);
    EXPECT_EQ(intc.Declaration().Verify(), std::vector<std::string>{});
    EXPECT_EQ(intc.HasIrqA(), c.pins);
    EXPECT_EQ(intc.HasIrqB(), c.pins);

    Page& page = project.OpenPage(Intc(project).GetPrefix());
    // The mask box (id 1000) exists exactly where the row names a control register.
    EXPECT_EQ(page.Find(1000) != nullptr, row.controlRegister != nullptr);
    // IRQ controls: on the classic and standard rows, shown only where the pins exist.
    const uint32_t trigger = Intc(project).ControlId("IRQ A trigger mode:");
    EXPECT_EQ(trigger != 0, row.irqPinRegisters || row.irqTriggerBits);
    if (trigger != 0) {
      EXPECT_EQ(trigger, 1004u);
      EXPECT_EQ(page.Find(trigger)->shown, c.pins);
      EXPECT_EQ(page.Find(CaptionId(project, "IRQ B trigger mode:"))->shown, c.pins);
    }
    EXPECT_EQ(Intc(project).ControlId("IRQ A enable") != 0, row.irqPinRegisters);
    int fast = 0, slots = 0;
    while (Intc(project).ControlId(CpmINTC::FastKey(fast, "source")) != 0) ++fast;
    while (Intc(project).ControlId(CpmINTC::UserKey(slots + 1, "source")) != 0) ++slots;
    EXPECT_EQ(fast, row.fastInterrupts);
    EXPECT_EQ(slots, row.userSlots);
    EXPECT_EQ(Intc(project).ControlId("Make USER6 Fast Interrupt") != 0, row.userSlots > 0);
    EXPECT_EQ(page.Find(1180 + static_cast<uint32_t>(row.jtagBoxes)), nullptr);
    if (row.jtagBoxes > 0) {
      EXPECT_NE(page.Find(1180 + static_cast<uint32_t>(row.jtagBoxes) - 1), nullptr);
    }
    // Only the user-slot row links a slot; its link goes to the slot's source edit.
    EXPECT_EQ(intc.UserSlotLink(2, "x").empty(), row.userSlots == 0);
    // Every vector has its row on the page.
    EXPECT_NE(page.GetChildPage(CpmINTC::kIdVectorPanelBase +
                                static_cast<uint32_t>(intc.GetVectorCount()) - 1),
              nullptr);
  }
  EXPECT_EQ(met.size(), CpmINTC::Variants().size());
}

TEST(IntcLayouts, SourceBoundsFollowTheVectorCountOfThePart) {
  // CVX-08 (82 vectors): a fast source is 0..81, and the range text says so.
  ModuleProject fenn = IntcProject("CVX-08");
  ASSERT_TRUE(fenn.Opened() && FindIntc(fenn));
  Page& fennPage = fenn.OpenPage(Intc(fenn).GetPrefix());
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(fennPage.Find(UnitId(fenn, CpmINTC::FastKey(k, "source")))->text, "(0 - 81)");
    const uint32_t edit = Intc(fenn).ControlId(CpmINTC::FastKey(k, "source"));
    ASSERT_TRUE(fennPage.TypeText(edit, "81"));
    ASSERT_TRUE(fennPage.TypeText(edit, "82"));
    EXPECT_EQ(Reg(fenn, Format("FIM%d_INIT", k)).value, 81u);
  }
  // CVX-21 (46 vectors): the same edit stops at 45.
  ModuleProject tebo = IntcProject("CVX-21");
  ASSERT_TRUE(tebo.Opened() && FindIntc(tebo));
  Page& teboPage = tebo.OpenPage(Intc(tebo).GetPrefix());
  EXPECT_EQ(teboPage.Find(UnitId(tebo, CpmINTC::FastKey(1, "source")))->text, "(0 - 45)");
  ASSERT_TRUE(teboPage.TypeText(Intc(tebo).ControlId(CpmINTC::FastKey(1, "source")), "46"));
  EXPECT_EQ(Reg(tebo, "FIM1_INIT").value, 0u);

  // CVX-28 (51 vectors): USER1..USER6 are vectors 45..50; a slot source is 10..44
  // (44 = 51 - 7) outside 34..39. The edit takes up to 44; the name opens only for a valid
  // source, so 34 is taken but leaves the name closed.
  ModuleProject brel = IntcProject("CVX-28");
  ASSERT_TRUE(brel.Opened() && FindIntc(brel));
  Page& page = brel.OpenPage(Intc(brel).GetPrefix());
  for (int slot = 1; slot <= 6; ++slot) {
    SCOPED_TRACE(slot);
    const uint32_t source = Intc(brel).ControlId(CpmINTC::UserKey(slot, "source"));
    const uint32_t isr = Intc(brel).ControlId(CpmINTC::UserKey(slot, "ISR"));
    EXPECT_EQ(source, 1101u + 10u * static_cast<uint32_t>(slot - 1));
    ASSERT_TRUE(page.TypeText(source, "44"));
    EXPECT_EQ(Intc(brel).GetUserSource(slot), 44u);
    EXPECT_TRUE(page.Find(isr)->enabled);
    ASSERT_TRUE(page.TypeText(source, "45"));
    EXPECT_EQ(Intc(brel).GetUserSource(slot), 44u);
    ASSERT_TRUE(page.TypeText(source, "34"));
    EXPECT_EQ(Intc(brel).GetUserSource(slot), 34u);
    EXPECT_FALSE(page.Find(isr)->enabled);
    // The slot's name is the register of its vector, 44 + slot.
    ASSERT_TRUE(page.TypeText(source, "20"));
    ASSERT_TRUE(page.TypeText(isr, Format("Slot%dIsr", slot)));
    ASSERT_TRUE(page.FocusLost(isr));
    EXPECT_EQ(Intc(brel).IsrRegister(44u + static_cast<uint32_t>(slot))->text,
              Format("Slot%dIsr", slot));
  }
  // Every slot now names vector 20: the first one serves it.
  std::string name;
  EXPECT_EQ(Intc(brel).FindUserSlot(20, &name), 1);
  EXPECT_EQ(name, "Slot1Isr");
}

TEST(IntcLayouts, AClaimOnEveryLayoutLocksThePanelsAndAReleaseRestoresTheName) {
  for (const LayoutPart& c : kLayoutParts) {
    SCOPED_TRACE(c.part);
    ModuleProject project = IntcProject(c.part);
    ASSERT_TRUE(project.Opened() && FindIntc(project));
    CpmINTC& intc = Intc(project);
    // The first vector whose routine is editable and that no user slot serves.
    const uint32_t count = static_cast<uint32_t>(intc.GetVectorCount());
    const uint32_t slotsFrom = count - static_cast<uint32_t>(intc.Variant().userSlots);
    uint32_t vector = 1;
    while (vector < slotsFrom && (intc.Vectors()[vector].flags & kVectorIsrFixed)) ++vector;
    ASSERT_LT(vector, slotsFrom);
    SetText(project, Format("-INT_VECTOR_ADDR_%u", vector), "MineBefore");
    VectorUser user("USER_0", std::to_string(vector));
    user.InitModule(project.Doc());
    user.OnModulesReady();
    Page& page = project.OpenPage(Intc(project).GetPrefix());
    Control* isr = page.GetChildPage(CpmINTC::kIdVectorPanelBase + vector)->Find(CpmINTC::kPanelIsr);
    ASSERT_NE(isr, nullptr);
    EXPECT_TRUE(isr->enabled);

    ASSERT_TRUE(user.Claim(0, true, "Held"));
    EXPECT_EQ(intc.IsrRegister(vector)->text, "Held");
    EXPECT_EQ(isr->text, "Held");
    EXPECT_FALSE(isr->enabled);
    ASSERT_TRUE(user.Claim(0, true, "HeldAgain"));
    ASSERT_TRUE(user.Claim(0, false, ""));
    EXPECT_EQ(intc.IsrRegister(vector)->text, "MineBefore");
    EXPECT_EQ(intc.IsrRegister(vector)->value, 1u);
    EXPECT_EQ(isr->text, "MineBefore");
    EXPECT_TRUE(isr->enabled);
    EXPECT_FALSE(intc.IsClaimed(vector));
  }
}

// ---- user slots (Brel) ----

TEST(IntcUserSlots, ValidSourcesLieBetweenTheCoreVectorsAndTheSlotsOutsideTheReservedOnes) {
  ModuleProject project = IntcProject("CVX-28");
  ASSERT_TRUE(project.Opened() && FindIntc(project));
  const CpmINTC& intc = Intc(project);
  for (uint32_t n : {10u, 21u, 33u, 40u, 44u}) EXPECT_TRUE(intc.IsValidUserSource(n)) << n;
  for (uint32_t n : {0u, 9u, 34u, 36u, 39u, 45u, 50u, 63u}) EXPECT_FALSE(intc.IsValidUserSource(n)) << n;
}

TEST(IntcUserSlots, SlotChecksNameTheSlotAndTheSource) {
  // USER1 = 34 (reserved), USER2 = 21 without a name, USER3 = 21 again with a name that
  // vector 21 also has, USER4 = 12 named, USER5 unused, USER6 = 45 (a slot vector itself).
  ModuleProject project = IntcProject("CVX-28",
                      "#define WINTC_IAR0_INIT 0x1522U\n"
                      "#define WINTC_IAR1_INIT 0x0C15U\n"
                      "#define WINTC_IAR2_INIT 0x2D00U\n"
                      "#define INT_VECTOR_ADDR_21 SciTxIsr\n"
                      "#define INT_VECTOR_ADDR_47 SlotThreeIsr\n"
                      "#define INT_VECTOR_ADDR_48 SlotFourIsr\n");
  ASSERT_TRUE(project.Opened() && FindIntc(project));
  EXPECT_TRUE(project.Host().entries.empty());
  EXPECT_EQ(Intc(project).GetUserSource(1), 34u);
  EXPECT_EQ(Intc(project).GetUserSource(4), 12u);
  EXPECT_EQ(Warnings(project),
            (std::vector<std::string>{
                "USER1 interrupt source number is not valid",
                "USER2 interrupt service routine must have a name",
                "Interrupt source 21 is assigned to more than one USER interrupt.",
                "Interrupt source 21 has assigned both standard ISR and USER3 ISR. The USER ISR "
                "will be used.",
                "USER6 interrupt source number is not valid"}));
  EXPECT_EQ(WarningOf(project, Intc(project).ControlId(CpmINTC::UserKey(3, "duplicate"))),
            "Interrupt source 21 is assigned to more than one USER interrupt.");

  // As a fast interrupt USER6 speaks of itself as such, and an unused one is an error too.
  Reg(project, "FASTINT_ENABLE").value = 1;
  std::vector<std::string> texts = Warnings(project);
  EXPECT_EQ(texts.back(), "Fast (USER6) interrupt source number is not valid");
  EXPECT_EQ(WarningOf(project, CaptionId(project, CpmINTC::UserKey(6, "source"))),
            "Fast (USER6) interrupt source number is not valid");
  Reg(project, "IAR2_INIT").value = 0x0000;
  Warnings(project);
  EXPECT_EQ(WarningOf(project, Intc(project).ControlId("Make USER6 Fast Interrupt")),
            "Fast (USER6) interrupt source number is not valid");
  EXPECT_EQ(WarningOf(project, CaptionId(project, CpmINTC::UserKey(6, "source"))), "");
  Reg(project, "IAR2_INIT").value = 0x0D00;  // USER6 = 13, no name
  Warnings(project);
  EXPECT_EQ(WarningOf(project, Intc(project).ControlId("Make USER6 Fast Interrupt")), "");
  EXPECT_EQ(WarningOf(project, CaptionId(project, CpmINTC::UserKey(6, "ISR"))),
            "Fast (USER6) interrupt service routine must have a name");
}

TEST(IntcUserSlots, ModulesFindTheSlotOfTheirVectorAndShowItAsALink) {
  ModuleProject project = IntcProject("CVX-28",
                      "#define WINTC_IAR0_INIT 0x1622U\n"  // USER1 = 34, USER2 = 22
                      "#define WINTC_IAR1_INIT 0x0016U\n"  // USER3 = 22 as well
                      "#define INT_VECTOR_ADDR_46 SciRxSlotIsr\n");
  ASSERT_TRUE(project.Opened() && FindIntc(project));
  VectorUser sci("SCI_0", "21,22,34");
  sci.InitModule(project.Doc());
  sci.OnModulesReady();
  std::string name;
  EXPECT_EQ(Intc(project).FindUserSlot(22, &name), 2);  // the first slot that holds it
  EXPECT_EQ(name, "SciRxSlotIsr");
  EXPECT_EQ(Intc(project).FindUserSlot(21, &name), -1);
  EXPECT_EQ(Intc(project).FindUserSlot(34, &name), -1);  // never valid, though USER1 holds it
  EXPECT_EQ(UserSlotNote(sci, 1),
            "<A HREF=\"tarq:WINTC/INTC/1111\">NOTE: defined as USER2 (SciRxSlotIsr) in WINTC "
            "module.</A>");
  EXPECT_EQ(UserSlotNote(sci, 1, true),
            "<A HREF=\"tarq:WINTC/INTC/1111\">See USER2 (SciRxSlotIsr) in WINTC module.</A>");
  EXPECT_EQ(UserSlotNote(sci, 0), "");
  EXPECT_EQ(UserSlotNote(sci, 7), "");

  // Parts without user slots have nothing to say.
  ModuleProject fenn = IntcProject("CVX-08");
  ASSERT_TRUE(fenn.Opened() && FindIntc(fenn));
  EXPECT_EQ(Intc(fenn).FindUserSlot(22, &name), -1);
}

TEST(IntcUserSlots, ThePageEmptiesTheNameOfAnUnusedSlotAndShowsTheFastNote) {
  ModuleProject project = IntcProject("CVX-28",
                      "#define WINTC_IAR0_INIT 0x0015U\n"  // USER1 = 21, USER2 unused
                      "#define INT_VECTOR_ADDR_45 SlotOneIsr\n"
                      "#define INT_VECTOR_ADDR_46 Leftover\n");
  ASSERT_TRUE(project.Opened() && FindIntc(project));
  Page& page = project.OpenPage(Intc(project).GetPrefix());
  const uint32_t isr1 = Intc(project).ControlId(CpmINTC::UserKey(1, "ISR"));
  const uint32_t isr2 = Intc(project).ControlId(CpmINTC::UserKey(2, "ISR"));
  EXPECT_TRUE(page.Find(isr1)->enabled);
  EXPECT_EQ(page.Find(isr1)->text, "SlotOneIsr");
  EXPECT_FALSE(page.Find(isr2)->enabled);
  EXPECT_EQ(page.Find(isr2)->text, "");
  EXPECT_EQ(Intc(project).IsrRegister(46)->value, 0u);

  // A valid source opens the name; a name typed there reaches the slot's vector register.
  ASSERT_TRUE(page.TypeText(Intc(project).ControlId(CpmINTC::UserKey(2, "source")), "40"));
  EXPECT_TRUE(page.Find(isr2)->enabled);
  ASSERT_TRUE(page.TypeText(isr2, "SwIsr"));
  ASSERT_TRUE(page.FocusLost(isr2));
  EXPECT_EQ(Intc(project).IsrRegister(46)->text, "SwIsr");
  EXPECT_EQ(Intc(project).GetUserIsrName(2), "SwIsr");

  EXPECT_FALSE(page.Find(Intc(project).ControlId("fast USER6 note"))->shown);
  ASSERT_TRUE(page.Click(Intc(project).ControlId("Make USER6 Fast Interrupt")));
  EXPECT_EQ(Intc(project).Registers()[4].value, 1u);
  EXPECT_TRUE(page.Find(Intc(project).ControlId("fast USER6 note"))->shown);

  // The slot vectors are listed only on demand, and then not editable in their panels.
  const uint32_t slotPanel = CpmINTC::kIdVectorPanelBase + 45;
  EXPECT_FALSE(page.Find(slotPanel)->shown);
  EXPECT_FALSE(page.Find(CpmINTC::kIdVectorPanelBase + 31)->shown);  // DISSRC of CVX-28
  EXPECT_TRUE(page.Find(CpmINTC::kIdVectorPanelBase + 30)->shown);
  ASSERT_TRUE(page.Click(Intc(project).ControlId("Show all interrupts")));
  EXPECT_TRUE(page.Find(slotPanel)->shown);
  EXPECT_FALSE(page.GetChildPage(slotPanel)->Find(CpmINTC::kPanelIsr)->enabled);
  EXPECT_EQ(page.GetChildPage(slotPanel)->Find(CpmINTC::kPanelIsr)->text, "SlotOneIsr");
}

// ---- standard layout ----

TEST(IntcStandard, FastInterruptsMustBePeripheralSourcesAtLevelTwo) {
  // CVX-08: vector 62 "SCI 0 Receiver Full" (0xF0), vector 6 a debug event (0x1D0).
  ModuleProject project = IntcProject("CVX-08",
                      "#define INTC_FIM0_INIT 62\n"
                      "#define INT_VECTOR_ADDR_62 UartRxIsr\n"
                      "#define INT_PRIORITY_LEVEL_62 INTC_LEVEL1\n");
  ASSERT_TRUE(project.Opened() && FindIntc(project));
  const std::string level1Text =
      "Interrupt source 62 can not be used as fast interrupt. Only peripheral interrupt sources "
      "configured for priority level 2 can be set as fast.";
  Warnings(project);
  EXPECT_EQ(WarningOf(project, Intc(project).ControlId("fast note")), level1Text);

  SetText(project, "-INT_PRIORITY_LEVEL_62", "INTC_LEVEL2");
  Warnings(project);
  EXPECT_EQ(WarningOf(project, Intc(project).ControlId("fast note")), "");

  // The same through the page: the panel's list decides.
  Page& page = project.OpenPage(Intc(project).GetPrefix());
  Page* panel = page.GetChildPage(CpmINTC::kIdVectorPanelBase + 62);
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->Find(CpmINTC::kPanelPriority)->text, "Level 2");
  ASSERT_TRUE(panel->SelectItem(CpmINTC::kPanelPriority, 2));  // Level 1
  EXPECT_EQ(Reg(project, "-INT_PRIORITY_LEVEL_62").text, "INTC_LEVEL1");
  Warnings(project);
  EXPECT_EQ(WarningOf(project, Intc(project).ControlId("fast note")), level1Text);

  // A core source never qualifies; the first offending fast interrupt is the one named.
  Reg(project, "FIM1_INIT").value = 6;
  SetText(project, "-INT_PRIORITY_LEVEL_62", "INTC_LEVEL2");
  panel->SelectItem(CpmINTC::kPanelPriority, 3);
  Warnings(project);
  EXPECT_EQ(WarningOf(project, Intc(project).ControlId("fast note")),
            "Interrupt source 6 can not be used as fast interrupt. Only peripheral interrupt "
            "sources configured for priority level 2 can be set as fast.");
  EXPECT_TRUE(page.Find(Intc(project).ControlId("fast note"))->shown);
  Reg(project, "FIM1_INIT").value = 0;
  Warnings(project);
  EXPECT_FALSE(page.Find(Intc(project).ControlId("fast note"))->shown);
}

TEST(IntcStandard, FastInterruptRangeAndDoubleRoutine) {
  ModuleProject project = IntcProject("CVX-08",
                      "#define INTC_FIM0_INIT 82\n"
                      "#define INTC_FIM1_INIT 62\n"
                      "#define INTC_FIVA1_INIT FastRx\n"
                      "#define INT_VECTOR_ADDR_62 UartRxIsr\n"
                      "#define INT_PRIORITY_LEVEL_62 INTC_LEVEL2\n");
  ASSERT_TRUE(project.Opened() && FindIntc(project));
  EXPECT_EQ(Warnings(project),
            (std::vector<std::string>{"Fast interrupt 0 number is out of range",
                                      "Fast interrupt 1 has assigned both standard ISR and fast "
                                      "ISR. The fast ISR will be used."}));
  // The edit refuses what the check reports on loaded values.
  Page& page = project.OpenPage(Intc(project).GetPrefix());
  EXPECT_EQ(page.Find(UnitId(project, CpmINTC::FastKey(0, "source")))->text, "(0 - 81)");
  ASSERT_TRUE(page.TypeText(Intc(project).ControlId(CpmINTC::FastKey(0, "source")), "81"));
  EXPECT_EQ(Reg(project, "FIM0_INIT").value, 81u);
  ASSERT_TRUE(page.TypeText(Intc(project).ControlId(CpmINTC::FastKey(0, "source")), "82"));
  EXPECT_EQ(Reg(project, "FIM0_INIT").value, 81u);
}

TEST(IntcStandard, PanelsWantARoutineAndAPriorityTogether) {
  // CVX-08 hides vector 25 (DISSRC); 63 and 64 are ADC vectors.
  ModuleProject project = IntcProject("CVX-08",
                      "#define INT_VECTOR_ADDR_63 AdcIsr\n"
                      "#define INT_PRIORITY_LEVEL_64 INTC_LEVEL0\n"
                      "#define INT_VECTOR_ADDR_25 HiddenIsr\n");
  ASSERT_TRUE(project.Opened() && FindIntc(project));
  EXPECT_EQ(Warnings(project),
            (std::vector<std::string>{
                "ADC B Conversion Complete Interrupt Service Routine is specified but Interrupt "
                "Priority is not set",
                "ADC A Conversion Complete Interrupt Priority is set but Interrupt Service "
                "Routine is not specified"}));
  EXPECT_EQ(WarningOf(project, CpmINTC::PanelWarningId(63)),
            "ADC B Conversion Complete Interrupt Service Routine is specified but Interrupt "
            "Priority is not set");

  // A fast source needs no routine of its own; a priority fixes the other panel.
  Reg(project, "FIM0_INIT").value = 64;
  SetText(project, "-INT_PRIORITY_LEVEL_64", "INTC_LEVEL2");
  SetText(project, "-INT_PRIORITY_LEVEL_63", "INTC_LEVEL2");
  EXPECT_EQ(Warnings(project), std::vector<std::string>{});

  // Typing in the panel counts before the edit is left.
  Page& page = project.OpenPage(Intc(project).GetPrefix());
  Page* panel = page.GetChildPage(CpmINTC::kIdVectorPanelBase + 63);
  ASSERT_TRUE(panel->TypeText(CpmINTC::kPanelIsr, ""));
  EXPECT_EQ(Warnings(project),
            std::vector<std::string>{"ADC B Conversion Complete Interrupt Priority is set but "
                                     "Interrupt Service Routine is not specified"});
  EXPECT_EQ(page.GetChildPage(CpmINTC::kIdVectorPanelBase + 63)->Find(CpmINTC::kPanelSource)
                ->textColour,
            kWarningTextColour);
}

TEST(IntcStandard, PanelListsFollowTheFlagWords) {
  ModuleProject project = IntcProject("CVX-08");
  ASSERT_TRUE(project.Opened() && FindIntc(project));
  Page& page = project.OpenPage(Intc(project).GetPrefix());
  auto panel = [&](uint32_t n) { return page.GetChildPage(CpmINTC::kIdVectorPanelBase + n); };
  // Reset: routine and priority fixed; the list keeps its one level.
  EXPECT_EQ(panel(0)->Find(CpmINTC::kPanelIsr)->text, "Start");
  EXPECT_FALSE(panel(0)->Find(CpmINTC::kPanelIsr)->enabled);
  EXPECT_FALSE(panel(0)->Find(CpmINTC::kPanelPriority)->enabled);
  EXPECT_EQ(panel(0)->Find(CpmINTC::kPanelPriority)->items, std::vector<std::string>{"Level 3"});
  // Debug events: Disabled or levels 1..3; peripherals: Disabled or levels 0..2.
  EXPECT_EQ(panel(6)->Find(CpmINTC::kPanelPriority)->items,
            (std::vector<std::string>{"Disabled", "Level 1", "Level 2", "Level 3"}));
  EXPECT_EQ(panel(62)->Find(CpmINTC::kPanelPriority)->items,
            (std::vector<std::string>{"Disabled", "Level 0", "Level 1", "Level 2"}));
  // With nothing chosen the first item shows, and nothing is written for it.
  EXPECT_EQ(panel(62)->Find(CpmINTC::kPanelPriority)->selection, 0);
  EXPECT_EQ(Reg(project, "-INT_PRIORITY_LEVEL_62").value, 0u);
  EXPECT_TRUE(page.Find(Intc(project).ControlId("IRQ A trigger mode:"))->shown);

  // The Tebo parts have no external interrupt pins.
  ModuleProject tebo = IntcProject("CVX-21");
  ASSERT_TRUE(tebo.Opened() && FindIntc(tebo));
  EXPECT_FALSE(Intc(tebo).HasIrqA());
  Page& teboPage = tebo.OpenPage(Intc(tebo).GetPrefix());
  EXPECT_FALSE(teboPage.Find(Intc(tebo).ControlId("IRQ A trigger mode:"))->shown);
  EXPECT_FALSE(teboPage.Find(CaptionId(tebo, "IRQ B trigger mode:"))->shown);
}

// ---- classic layout ----

TEST(IntcClassic, PrioritiesAreDigitsAndAbsentPinsWriteNothing) {
  // CVX-02 declares IRQA=0 and IRQB=0; CVX-03 has both pins.
  ModuleProject project = IntcProject("CVX-02",
                      "#define IRQA_ENABLED 1\n"
                      "#define INT_VECTOR_ADDR_48 SpeedLoopIsr\n"
                      "#define INT_PRIORITY_LEVEL_48 2\n");
  ASSERT_TRUE(project.Opened() && FindIntc(project));
  EXPECT_FALSE(Intc(project).HasIrqA());
  EXPECT_TRUE(Reg(project, "-IRQA_ENABLED").Has(DUMMYREG));
  EXPECT_TRUE(Reg(project, "-IRQB_TRIGGER").Has(DUMMYREG));
  Page& page = project.OpenPage(Intc(project).GetPrefix());
  EXPECT_EQ(Intc(project).ControlId("All maskable interrupts disable"), 0u);
  EXPECT_EQ(page.Find(1000), nullptr);
  EXPECT_FALSE(page.Find(Intc(project).ControlId("IRQ A enable"))->shown);
  Page* panel = page.GetChildPage(CpmINTC::kIdVectorPanelBase + 48);
  EXPECT_EQ(panel->Find(CpmINTC::kPanelPriority)->text, "Level 2");
  EXPECT_EQ(panel->Find(CpmINTC::kPanelPriority)->items.size(), 8u);
  ASSERT_TRUE(panel->SelectItem(CpmINTC::kPanelPriority, 7));
  EXPECT_TRUE(Warnings(project).empty());  // no classic vector is checked

  const std::string saved = project.SavedHeader();
  EXPECT_EQ(DefineValue(saved, "INT_PRIORITY_LEVEL_48"), "7");
  EXPECT_EQ(DefineValue(saved, "INT_VECTOR_ADDR_48"), "SpeedLoopIsr");
  EXPECT_EQ(DefineValue(saved, "INT_VECTOR_ADDR_0"), "Start");
  EXPECT_EQ(DefineValue(saved, "IRQA_ENABLED"), "<absent>");

  ModuleProject withPins = IntcProject("CVX-03", "#define INT_VECTOR_ADDR_48 SpeedLoopIsr\n");
  ASSERT_TRUE(withPins.Opened() && FindIntc(withPins));
  Page& pinsPage = withPins.OpenPage(Intc(withPins).GetPrefix());
  ASSERT_TRUE(pinsPage.Click(Intc(withPins).ControlId("IRQ B enable")));
  ASSERT_TRUE(pinsPage.SelectItem(Intc(withPins).ControlId("IRQ B trigger mode:"), 3));
  EXPECT_EQ(Reg(withPins, "-IRQB_ENABLED").value, 1u);
  EXPECT_EQ(Reg(withPins, "-IRQB_TRIGGER").text, "ITCN_FALLING_EDGE_SENSITIVE");
  const std::string pinsSaved = withPins.SavedHeader();
  EXPECT_EQ(DefineValue(pinsSaved, "IRQB_ENABLED"), "1");
  EXPECT_EQ(DefineValue(pinsSaved, "IRQB_TRIGGER"), "ITCN_FALLING_EDGE_SENSITIVE");
  EXPECT_EQ(DefineValue(pinsSaved, "IRQA_TRIGGER"), "<absent>");
}

// ---- claims and panels on other pages ----

TEST(IntcClaims, AClaimSetsTheNameAndOnlyItsHolderCanReleaseIt) {
  ModuleProject project = IntcProject("CVX-08", "#define INT_VECTOR_ADDR_62 UserRxIsr\n");
  ASSERT_TRUE(project.Opened() && FindIntc(project));
  VectorUser sci("SCI_0", "59,62");
  VectorUser other("OTHER", "62");
  sci.InitModule(project.Doc());
  sci.OnModulesReady();
  other.InitModule(project.Doc());
  other.OnModulesReady();
  CpmINTC& intc = Intc(project);
  // The part's own SCI_0 module names the vector as well (it claims nothing while its driver
  // mode is "Disabled").
  EXPECT_EQ(intc.UsersOf(62),
            (std::vector<CModuleBase*>{project.Doc().FindModule("SCI_0", "SCI"), &sci, &other}));
  Page& page = project.OpenPage(Intc(project).GetPrefix());
  Control* isrEdit = page.GetChildPage(CpmINTC::kIdVectorPanelBase + 62)->Find(CpmINTC::kPanelIsr);

  ASSERT_TRUE(sci.Claim(1, true, "Sci0RxFullISR"));
  EXPECT_EQ(intc.IsrRegister(62)->text, "Sci0RxFullISR");
  EXPECT_EQ(isrEdit->text, "Sci0RxFullISR");
  EXPECT_FALSE(isrEdit->enabled);
  EXPECT_EQ(intc.ClaimOwner(62), &sci);

  // Held by another module: nothing changes either way.
  EXPECT_FALSE(other.Claim(0, true, "OtherIsr"));
  EXPECT_FALSE(other.Claim(0, false, ""));
  EXPECT_EQ(intc.IsrRegister(62)->text, "Sci0RxFullISR");

  // A second claim by the holder renames but keeps the name from before the first.
  ASSERT_TRUE(sci.Claim(1, true, "Sci0RxIsr"));
  ASSERT_TRUE(sci.Claim(1, false, ""));
  EXPECT_EQ(intc.IsrRegister(62)->text, "UserRxIsr");
  EXPECT_TRUE(isrEdit->enabled);
  EXPECT_FALSE(intc.IsClaimed(62));

  // Releasing what nobody holds leaves the user's name alone.
  intc.IsrRegister(59)->text = "MyTx";
  intc.IsrRegister(59)->value = 1;
  EXPECT_TRUE(sci.Claim(0, false, ""));
  EXPECT_EQ(intc.IsrRegister(59)->text, "MyTx");
  ASSERT_TRUE(other.Claim(0, true, ""));
  EXPECT_EQ(intc.IsrRegister(62)->value, 0u);  // an empty name writes nothing
  EXPECT_FALSE(sci.Claim(1, true, "Sci0RxFullISR"));
}

TEST(IntcPanels, PanelsOnOtherPagesEditTheSameRegistersAndFollowEachOther) {
  ModuleProject project = IntcProject("CVX-08", "#define INTC_ICTL_INIT 0x0000U\n");
  ASSERT_TRUE(project.Opened() && FindIntc(project));
  CpmINTC& intc = Intc(project);
  auto sci = std::make_unique<VectorUser>("SCI_0", "61,62");
  sci->InitModule(project.Doc());
  sci->OnModulesReady();
  sci->CreatePage();
  Page& own = project.OpenPage(Intc(project).GetPrefix());
  Page* wide = sci->GetPage()->GetChildPage(CModule::kInterruptPanelBase);
  Page* narrow = sci->GetPage()->GetChildPage(CModule::kInterruptPanelBase + 1);
  ASSERT_NE(wide, nullptr);
  ASSERT_NE(narrow, nullptr);
  EXPECT_EQ(wide->Find(CpmINTC::kPanelSource)->text, "61. SCI 0 Receiver Error");
  EXPECT_EQ(narrow->Find(CpmINTC::kPanelSource), nullptr);
  EXPECT_EQ(intc.CountPanels(62), 2u);

  ASSERT_TRUE(narrow->TypeText(CpmINTC::kPanelIsr, " Sci0RxFullISR "));
  ASSERT_TRUE(narrow->FocusLost(CpmINTC::kPanelIsr));
  ASSERT_TRUE(narrow->SelectItem(CpmINTC::kPanelPriority, 1));
  EXPECT_EQ(intc.IsrRegister(62)->text, "Sci0RxFullISR");
  EXPECT_EQ(intc.PriorityRegister(62)->text, "INTC_LEVEL0");
  Page* ownPanel = own.GetChildPage(CpmINTC::kIdVectorPanelBase + 62);
  EXPECT_EQ(ownPanel->Find(CpmINTC::kPanelIsr)->text, "Sci0RxFullISR");
  EXPECT_EQ(ownPanel->Find(CpmINTC::kPanelPriority)->text, "Level 0");

  const std::string saved = project.SavedHeader();
  EXPECT_EQ(DefineValue(saved, "INT_VECTOR_ADDR_62"), "Sci0RxFullISR");
  EXPECT_EQ(DefineValue(saved, "INT_PRIORITY_LEVEL_62"), "INTC_LEVEL0");
  EXPECT_EQ(DefineValue(saved, "INT_PRIORITY_LEVEL_61"), "<absent>");
  EXPECT_EQ(DefineValue(saved, "INTC_ICTL_INIT"), "0x0000U");

  // Panels leave with their page; a controller that goes first leaves no binding behind.
  sci->DestroyPage();
  EXPECT_EQ(intc.CountPanels(62), 1u);
  sci->CreatePage();
  narrow = sci->GetPage()->GetChildPage(CModule::kInterruptPanelBase + 1);
  EXPECT_EQ(narrow->Find(CpmINTC::kPanelIsr)->text, "Sci0RxFullISR");
  project.Doc().Reset();
  EXPECT_EQ(narrow->Find(CpmINTC::kPanelIsr)->binding, nullptr);
  EXPECT_EQ(narrow->Find(CpmINTC::kPanelPriority)->binding, nullptr);
  EXPECT_TRUE(narrow->TypeText(CpmINTC::kPanelIsr, "Gone"));
  EXPECT_TRUE(narrow->FocusLost(CpmINTC::kPanelIsr));
  sci.reset();
}

}  // namespace tarq
