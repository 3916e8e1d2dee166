// Writes the help documents of the program folder:
//   - the chip reference manuals that the architecture files' help references name, made from
//     the modules themselves (one section per referenced destination, a named destination of
//     that name, each module kind with its registers, bit fields, captions and item lists), so
//     they can never drift from the program;
//   - the tool manual ConfigTool.pdf from docs/manual/ConfigTool.html and its pictures.
// Usage: tarq_manuals PROGRAM_FOLDER OUTPUT_FOLDER [MANUAL_HTML]
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageSize>
#include <QPdfWriter>
#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <unistd.h>

#include "framework/Bindings.h"
#include "framework/ModuleBase.h"
#include "framework/Page.h"
#include "framework/TextUtil.h"
#include "modules/ModuleKinds.h"
#include "project/ArchitectureFile.h"
#include "project/KnownParts.h"
#include "project/ProjDoc.h"

namespace fs = std::filesystem;
using namespace tarq;

namespace {

QString Html(const std::string& text) { return QString::fromStdString(text).toHtmlEscaped(); }

// One module kind as a section shows it: the first module of that kind found, and the parts
// whose architecture files use it there.
struct KindEntry {
  std::string part;
  std::string prefix;
  std::set<std::string> parts;
  QString body;  // registers and page, rendered once
};

// manual file -> destination -> kind -> entry
using Manuals = std::map<std::string, std::map<std::string, std::map<std::string, KindEntry>>>;

// The register bits a bound control changes, found by driving the control through its states
// and watching the register. Zero when the control takes typed text only.
uint32_t ProbeBits(Control& control) {
  CSetCtrl* binding = control.binding;
  Register* reg = binding != nullptr ? binding->GetRegisterRef().Get() : nullptr;
  if (reg == nullptr) return 0;
  const uint32_t saved = reg->value;
  const bool checked = control.checked;
  const int selection = control.selection;
  const std::string text = control.text;
  uint32_t bits = 0;
  auto observe = [&](auto change) {
    reg->value = saved;
    change();
    binding->Update();
    bits |= reg->value ^ saved;
  };
  if (control.IsButton()) {
    observe([&] { control.checked = true; });
    observe([&] { control.checked = false; });
  } else if (control.IsChoice()) {
    for (size_t i = 0; i < control.items.size() && i < 64; ++i)
      observe([&] {
        control.selection = static_cast<int>(i);
        control.text = control.items[i];
      });
  }
  reg->value = saved;
  control.checked = checked;
  control.selection = selection;
  control.text = text;
  binding->Refresh();
  return bits;
}

QString BitsText(uint32_t bits) {
  if (bits == 0) return "";
  int low = 0;
  while (((bits >> low) & 1u) == 0) ++low;
  int high = 31;
  while (((bits >> high) & 1u) == 0) --high;
  return high == low ? QString::number(low) : QString("%1..%2").arg(high).arg(low);
}

const char* KindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::CheckBox: return "check box";
    case ControlKind::RadioButton: return "option";
    case ControlKind::DropDownList: return "list";
    case ControlKind::EditableCombo: return "list or value";
    case ControlKind::EditBox: return "value";
    case ControlKind::ListBox: return "list";
    default: return "";
  }
}

void DescribePage(Page& page, QString& rows) {
  for (size_t i = 0; i < page.GetControlCount(); ++i) {
    Control& control = page.ControlAt(i);
    if (control.binding != nullptr) {
      Register* reg = control.binding->GetRegisterRef().Get();
      const std::string label = page.LabelOf(control);
      QString items;
      for (const std::string& item : control.items) items += "<br>&nbsp;&nbsp;" + Html(item);
      rows += "<tr><td>" + Html(label.empty() ? control.text : label) + items + "</td><td>" +
              KindName(control.kind) + "</td><td>" + (reg ? Html(reg->name) : QString()) +
              "</td><td>" + BitsText(ProbeBits(control)) + "</td></tr>";
    }
    if (Page* child = page.GetChildPage(control.id)) DescribePage(*child, rows);
  }
}

QString DescribeModule(CModuleBase& module) {
  QString body = "<p><b>Registers</b> (define name: the module prefix, an underscore and the "
                 "register name)</p><table border=\"1\" cellpadding=\"3\" cellspacing=\"0\">"
                 "<tr><th>Register</th><th>Reset value</th><th>Width</th><th>Imported</th></tr>";
  for (const Register& reg : module.Registers()) {
    const char* width = reg.Has(DW8) ? "8" : reg.Has(DW16) ? "16" : reg.Has(DW32) ? "32" : "text";
    body += "<tr><td>" + Html(reg.name) + "</td><td>" +
            Html(Format("0x%0*X", reg.Has(DW8) ? 2 : reg.Has(DW16) ? 4 : 8, reg.resetValue)) +
            "</td><td>" + width + "</td><td>" + (CModuleBase::IsImportable(reg) ? "yes" : "no") +
            "</td></tr>";
  }
  body += "</table>";
  if (module.CreatePage() && module.GetPage() != nullptr) {
    QString rows;
    DescribePage(*module.GetPage(), rows);
    if (!rows.isEmpty())
      body += "<p><b>Settings</b> (the page's controls, the register and the bits each sets)</p>"
              "<table border=\"1\" cellpadding=\"3\" cellspacing=\"0\"><tr><th>Caption and "
              "items</th><th>Control</th><th>Register</th><th>Bits</th></tr>" +
              rows + "</table>";
    module.DestroyPage();
  }
  return body;
}

// Every help reference of an architecture file's tree, with the kind of its entry.
void CollectReferences(const std::vector<ArchitectureNode>& nodes,
                       std::vector<std::pair<std::string, std::string>>& references) {
  for (const ArchitectureNode& node : nodes) {
    references.emplace_back(node.entry.helpReference, node.entry.kind);
    CollectReferences(node.children, references);
  }
}

// Splits "FILE#DESTINATION"; false when either is empty.
bool SplitReference(const std::string& reference, std::string& file, std::string& destination) {
  const size_t hash = reference.find('#');
  if (hash == std::string::npos) return false;
  file = Trim(reference.substr(0, hash));
  destination = Trim(reference.substr(hash + 1));
  return !file.empty() && !destination.empty();
}

// Opens an empty project of the part (as an import reads one) and records its modules.
void CollectPart(const std::string& programFolder, const std::string& part, Manuals& manuals) {
  const fs::path folder = fs::temp_directory_path() / ("tarq-manuals-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  // A part that goes by an alias (its architecture file's name) is named by its own name.
  std::string defined = part;
  for (const KnownPart& known : KnownParts())
    if (part == known.alias) defined = known.name;
  { std::ofstream(folder / "appconfig.h") << "#define " << defined << "\n"; }
  DocumentEnvironment environment;
  environment.programFolder = programFolder;
  environment.takeLock = false;
  environment.readUserOptions = false;
  CProjDoc document(kSecondaryDocument, environment, RegisterBuiltInModuleKinds);
  if (!document.OpenProject((folder / "appconfig.h").string())) {
    std::fprintf(stderr, "tarq_manuals: %s cannot be opened: %s\n", part.c_str(),
                 document.GetLastError().c_str());
    fs::remove_all(folder);
    return;
  }
  for (CModuleBase* module : document.GetModules()) {
    std::string file, destination;
    if (!SplitReference(module->GetEntry().helpReference, file, destination)) continue;
    KindEntry& entry = manuals[file][destination][module->GetClass()];
    entry.parts.insert(part);
    if (entry.prefix.empty()) {
      entry.part = part;
      entry.prefix = module->GetPrefix();
      entry.body = DescribeModule(*module);
    }
  }
  // Entries of kinds that make no module still have their chapter.
  std::ifstream cfg(fs::path(programFolder) / (part + ".cfg"), std::ios::binary);
  std::ostringstream text;
  text << cfg.rdbuf();
  ArchitectureFile architecture;
  std::string error;
  std::vector<std::pair<std::string, std::string>> references;
  if (ParseArchitectureText(text.str(), architecture, error))
    CollectReferences(architecture.tree, references);
  for (const auto& [reference, kind] : references) {
    std::string file, destination;
    if (!SplitReference(reference, file, destination)) continue;
    KindEntry& entry = manuals[file][destination][kind];
    entry.parts.insert(part);
    if (entry.prefix.empty() && entry.body.isEmpty()) {
      entry.part = part;
      entry.body = "<p>Tarq has no settings page for this module kind.</p>";
    }
  }
  fs::remove_all(folder);
}

// The page (from 0) of every anchor of a paginated document.
std::map<std::string, int> AnchorPages(QTextDocument& document) {
  std::map<std::string, int> pages;
  QAbstractTextDocumentLayout* layout = document.documentLayout();
  const qreal pageHeight = document.pageSize().height();
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      for (const QString& name : it.fragment().charFormat().anchorNames()) {
        const qreal top = layout->blockBoundingRect(block).top();
        pages.emplace(name.toStdString(), static_cast<int>(top / pageHeight));
      }
    }
  }
  return pages;
}

// Number of the object that holds `marker` ("/Type /Catalog"), or -1.
int ObjectHolding(const std::string& pdf, const std::string& marker, size_t& start, size_t& end) {
  const size_t at = pdf.find(marker);
  if (at == std::string::npos) return -1;
  start = pdf.rfind(" 0 obj", at);
  const size_t line = pdf.rfind('\n', start);
  if (start == std::string::npos || line == std::string::npos) return -1;
  end = pdf.find("endobj", at);
  return std::atoi(pdf.c_str() + line + 1);
}

// Qt writes no named destinations: they are added as an incremental update, a catalog that
// names a destination dictionary, each name opening its page.
bool AddNamedDestinations(const QString& path, const std::map<std::string, int>& pages) {
  std::string pdf;
  {
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    pdf = text.str();
  }
  size_t catalogStart = 0, catalogEnd = 0, pagesStart = 0, pagesEnd = 0;
  const int catalog = ObjectHolding(pdf, "/Type /Catalog", catalogStart, catalogEnd);
  const int pageTree = ObjectHolding(pdf, "/Type /Pages", pagesStart, pagesEnd);
  const size_t startxref = pdf.rfind("startxref");
  const size_t sizeAt = pdf.rfind("/Size ");
  if (catalog < 0 || pageTree < 0 || startxref == std::string::npos || sizeAt == std::string::npos)
    return false;
  std::vector<int> kids;
  const size_t kidsAt = pdf.find("/Kids [", pagesStart);
  std::istringstream kidList(pdf.substr(kidsAt + 7, pdf.find(']', kidsAt) - kidsAt - 7));
  for (std::string number, generation, reference; kidList >> number >> generation >> reference;)
    kids.push_back(std::atoi(number.c_str()));
  const long previous = std::atol(pdf.c_str() + startxref + 9);
  const int size = std::atoi(pdf.c_str() + sizeAt + 6);
  const size_t infoAt = pdf.find("/Info ", sizeAt);
  const std::string info =
      infoAt == std::string::npos ? "" : pdf.substr(infoAt, pdf.find(" R", infoAt) + 2 - infoAt);

  std::string catalogText = pdf.substr(catalogStart, catalogEnd - catalogStart);
  const size_t close = catalogText.rfind(">>");
  catalogText = std::to_string(catalog) + catalogText.substr(0, close) + "/Dests " +
                std::to_string(size) + " 0 R\n>>\n";
  std::string dests = std::to_string(size) + " 0 obj\n<<\n";
  for (const auto& [name, page] : pages) {
    if (page < 0 || page >= static_cast<int>(kids.size())) return false;
    dests += "/" + name + " [" + std::to_string(kids[static_cast<size_t>(page)]) + " 0 R /Fit]\n";
  }
  dests += ">>\nendobj\n";

  std::string update = "\n";
  const size_t catalogOffset = pdf.size() + update.size();
  update += catalogText + "endobj\n";
  const size_t destsOffset = pdf.size() + update.size();
  update += dests;
  const size_t xrefOffset = pdf.size() + update.size();
  update += "xref\n" + std::to_string(catalog) + " 1\n" + Format("%010zu 00000 n \n", catalogOffset) +
            std::to_string(size) + " 1\n" + Format("%010zu 00000 n \n", destsOffset) +
            "trailer\n<< /Size " + std::to_string(size + 1) + " /Root " + std::to_string(catalog) +
            " 0 R " + info + " /Prev " + std::to_string(previous) + " >>\nstartxref\n" +
            std::to_string(xrefOffset) + "\n%%EOF\n";
  std::ofstream out(path.toStdString(), std::ios::binary | std::ios::app);
  out << update;
  return static_cast<bool>(out);
}

bool WritePdf(QTextDocument& document, const QString& path) {
  std::map<std::string, int> pages;
  {
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(96);
    writer.setTitle(QFileInfo(path).completeBaseName());
    writer.setCreator("Tarq");
    // Paginated here, so the page of every anchor is known before printing.
    document.setPageSize(QSizeF(writer.width(), writer.height()));
    pages = AnchorPages(document);
    document.print(&writer);
  }  // the file is complete once the writer is gone
  if (QFileInfo(path).size() == 0) return false;
  return pages.empty() || AddNamedDestinations(path, pages);
}

QString ReferenceManualHtml(const std::string& file,
                            const std::map<std::string, std::map<std::string, KindEntry>>& sections) {
  std::set<std::string> parts;
  for (const auto& [destination, kinds] : sections)
    for (const auto& [kind, entry] : kinds) parts.insert(entry.parts.begin(), entry.parts.end());
  QString partList;
  for (const std::string& part : parts) partList += (partList.isEmpty() ? "" : ", ") + Html(part);
  QString html = "<html><body><h1>" + Html(file) + "</h1><p>Corvex peripheral reference for " +
                 partList +
                 ". Made by Tarq from its own module declarations; every chapter is the place "
                 "the program's documentation lookup opens for a module.</p>";
  for (const auto& [destination, kinds] : sections) {
    // The anchor becomes the PDF's named destination of the chapter.
    html += "<h2><a name=\"" + Html(destination) + "\"></a>" + Html(destination) + "</h2>";
    for (const auto& [kind, entry] : kinds) {
      QString used;
      for (const std::string& part : entry.parts) used += (used.isEmpty() ? "" : ", ") + Html(part);
      html += "<h3>Module kind " + Html(kind) + "</h3><p>Used by " + used +
              (entry.prefix.empty() ? QString(".")
                                    : " (shown: " + Html(entry.prefix) + " of " + Html(entry.part) + ").") +
              "</p>" + entry.body;
    }
  }
  return html + "</body></html>";
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: tarq_manuals PROGRAM_FOLDER OUTPUT_FOLDER [MANUAL_HTML]\n");
    return 2;
  }
  const std::string programFolder = argv[1];
  const QString output = QString::fromLocal8Bit(argv[2]);
  QDir().mkpath(output);

  Manuals manuals;
  for (const auto& entry : fs::directory_iterator(programFolder)) {
    if (entry.path().extension() != ".cfg") continue;
    CollectPart(programFolder, entry.path().stem().string(), manuals);
  }
  int status = 0;
  for (const auto& [file, sections] : manuals) {
    QTextDocument document;
    document.setHtml(ReferenceManualHtml(file, sections));
    if (!WritePdf(document, QDir(output).filePath(QString::fromStdString(file)))) status = 1;
  }

  if (argc > 3) {
    const QString source = QString::fromLocal8Bit(argv[3]);
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly)) {
      std::fprintf(stderr, "tarq_manuals: cannot read %s\n", argv[3]);
      return 1;
    }
    QTextDocument document;
    // Pictures are found beside the manual's text.
    document.setBaseUrl(QUrl::fromLocalFile(QFileInfo(source).absolutePath() + "/"));
    document.setHtml(QString::fromUtf8(file.readAll()));
    if (!WritePdf(document, QDir(output).filePath("ConfigTool.pdf"))) status = 1;
  }
  return status;
}
