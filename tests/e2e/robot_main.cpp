// robot <group> --bin <dir> --demo <dir> --special <dir> --work <dir> --refs <dir>
//       [--shots <dir>] [--only <scenario>]
// Runs the scenarios of one group (the scenarios_<group>.cpp file) and prints
// "N passed, N failed". Folders may be given as Unix paths; they are seen through Wine's Z:.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/e2e/robot.h"

namespace robot {

namespace {

struct Scenario {
  std::string group;
  const char* name;
  ScenarioFunction run;
};

std::vector<Scenario>& registry() {
  static std::vector<Scenario> scenarios;
  return scenarios;
}

std::string groupOf(const char* file) {
  std::string stem = file;
  const size_t slash = stem.find_last_of("/\\");
  if (slash != std::string::npos) stem = stem.substr(slash + 1);
  const size_t dot = stem.find('.');
  if (dot != std::string::npos) stem = stem.substr(0, dot);
  const std::string prefix = "scenarios_";
  if (stem.compare(0, prefix.size(), prefix) == 0) stem = stem.substr(prefix.size());
  return stem;
}

}  // namespace

Registrar::Registrar(const char* file, const char* name, ScenarioFunction run) {
  registry().push_back({groupOf(file), name, run});
}

}  // namespace robot

// robot --show <bin dir> <header>: starts gridview, opens the tile and leaves it running.
int showTile(const char* binDir, const char* header) {
  robot::Process gridview = robot::start(robot::windowsPath(binDir) + "\\gridview.exe");
  HWND window = robot::waitForWindow(gridview, nullptr, "myWindowClass");
  if (window == nullptr) return 1;
  robot::postCommand(window, 201);
  const bool opened = robot::answerFileDialog(gridview, "Open", robot::windowsPath(header));
  robot::release(gridview);
  return opened ? 0 : 1;
}

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--show") == 0) return showTile(argv[2], argv[3]);
  if (argc == 3 && std::strcmp(argv[1], "--screenshot") == 0)
    return robot::saveScreen(robot::windowsPath(argv[2])) ? 0 : 1;
  if (argc < 2) {
    std::printf("usage: robot <group> --bin D --demo D --special D --work D --refs D\n");
    return 2;
  }
  const std::string group = argv[1];
  robot::Context base;
  std::string only;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    const std::string value = robot::windowsPath(argv[i + 1]);
    if (option == "--bin") base.binDir = value;
    if (option == "--demo") base.demoDir = value;
    if (option == "--special") base.specialDir = value;
    if (option == "--work") base.workDir = value;
    if (option == "--shots") base.shotDir = value;
    if (option == "--refs") base.refsDir = value;
    if (option == "--only") only = argv[i + 1];
  }
  int passed = 0;
  int failed = 0;
  for (const auto& scenario : robot::registry()) {
    if (scenario.group != group) continue;
    if (!only.empty() && only != scenario.name) continue;
    robot::Context ctx = base;
    ctx.workDir = base.workDir + "\\" + scenario.name;
    robot::makeFolders(ctx.workDir);
    robot::emptyFolder(ctx.workDir);
    // Every scenario starts in an empty folder and with no choice kept by the programs,
    // and leaves none behind.
    robot::forgetSettings();
    std::printf("[ RUN  ] %s\n", scenario.name);
    std::fflush(stdout);
    scenario.run(ctx);
    ctx.endAll();
    robot::forgetSettings();
    std::printf("[ %s ] %s\n", ctx.failed ? "FAIL" : " OK ", scenario.name);
    std::fflush(stdout);
    (ctx.failed ? failed : passed) += 1;
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 && passed > 0 ? 0 : 1;
}
