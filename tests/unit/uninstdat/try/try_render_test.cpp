// try's report as JUnit XML: one test case per family, one failure per
// finding, every text escaped.
#include "tools/uninstdat/try/try_render.h"

#include <gtest/gtest.h>

#include "tests/unit/uninstdat/try/try_fixture.h"

namespace uninstdat {
namespace {

TEST(TryRenderTest, JUnitHasOneCasePerFamilyAndOneFailurePerFinding) {
  RunFixture clean, dirty;
  dirty.run.family = uninst::kOsWin98;
  dirty.run.after.files[{"C", "App/a.txt"}] = {'f', ""};
  dirty.run.after.files.erase({"C", "windows/win.ini"});
  dirty.run.runOutput = "box: W & <Co> | \"Restart?\" | Yes\nexit: 0\n";
  std::string xml = JUnitXml({CompareRun(clean.run), CompareRun(dirty.run)});
  EXPECT_NE(xml.find("<testsuite name=\"uninstdat try\" tests=\"2\" failures=\"3\">"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<testcase classname=\"uninstdat.try\" name=\"nt\">\n  </testcase>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("message=\"staged and still there: file C:\\App\\a.txt\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("type=\"removed-unstaged\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("type=\"restart\""), std::string::npos) << xml;
}

}  // namespace
}  // namespace uninstdat
