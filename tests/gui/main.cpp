// GoogleTest main for the window's tests: one QApplication for all of them,
// on the offscreen platform unless another was chosen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLoggingCategory>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication application(argc, argv);
  // The offscreen platform has no notification area to watch for; Qt says
  // so on every icon the window makes.
  QLoggingCategory::setFilterRules(QStringLiteral("qt.core.qobject.connect.warning=false"));
  return RUN_ALL_TESTS();
}
