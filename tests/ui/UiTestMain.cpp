// Runs every GUI test object under one QApplication. The per-user settings go to a
// temporary folder so the tests never touch the real ones.
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <memory>
#include <vector>

#include "UiTestSupport.h"
#include "ui/HtmlPageView.h"

namespace tarq::uitest {
std::vector<QObject* (*)()>& Registry();
}

int main(int argc, char** argv) {
  QTemporaryDir config;
  setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  tarq::HtmlPageView::RegisterProgramLinkSchemes();
  QApplication app(argc, argv);
  QApplication::setOrganizationName("Velmor");
  QApplication::setApplicationName("Tarq Corvex");
  QApplication::setStyle("Fusion");

  // TARQ_UI_ONLY=ClockTreeUiTest runs the test classes whose name holds that text.
  const QString only = qEnvironmentVariable("TARQ_UI_ONLY");
  int failures = 0;
  for (auto make : tarq::uitest::Registry()) {
    std::unique_ptr<QObject> test(make());
    if (!only.isEmpty() && !QString(test->metaObject()->className()).contains(only)) continue;
    failures += QTest::qExec(test.get(), argc, argv);
  }
  return failures == 0 ? 0 : 1;
}
