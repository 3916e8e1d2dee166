#include "ui/AboutDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

#include "ui/GuiHost.h"

namespace tarq {

QString AboutDialog::VersionText() {
  return QStringLiteral("%1 Version %2").arg(kAppTitle, QStringLiteral(TARQ_VERSION_TEXT));
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About %1").arg(kAppTitle));
  setObjectName("AboutDialog");
  auto* column = new QVBoxLayout(this);
  auto* line = new QHBoxLayout;
  auto* icon = new QLabel(this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(48, 48));
  auto* text = new QLabel(this);
  text->setObjectName("AboutText");
  text->setTextFormat(Qt::PlainText);
  text->setText(VersionText() + "\n\n" +
                "Configuration of the on-chip peripherals of the Corvex family\n"
                "of 16-bit digital-signal controllers.\n\n"
                "Built with Qt " + QString(qVersion()) + ".");
  line->addWidget(icon, 0, Qt::AlignTop);
  line->addWidget(text, 1);
  column->addLayout(line);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  column->addWidget(buttons);
}

}  // namespace tarq
