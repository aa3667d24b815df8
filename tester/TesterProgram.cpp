#include "TesterProgram.h"

namespace {

constexpr char kExitKey = 'x';

}  // namespace

CTesterProgram::CTesterProgram(std::FILE* out, std::FILE* in)
    : report_(out), input_(in), userTests_(report_, input_), internalTests_(report_, input_) {
  CUserTests::SetInstance(&userTests_);
  userTests_.AddSwitch('i', "> switch to Internal Function", &internalTests_);
  internalTests_.AddSwitch('u', "> switch to User Function", &userTests_);
  internalTests_.FillEntries();
  userTests_.FillEntries();
}

CTesterProgram::~CTesterProgram() { CUserTests::SetInstance(nullptr); }

int CTesterProgram::Run(int argc, const char* const* argv) {
  if (argc <= 1) {
    RunInteractive();
  } else {
    for (int i = 1; i < argc; ++i) RunArgument(argv[i]);
  }
  std::fflush(report_.Out());
  return 0;
}

void CTesterProgram::RunInteractive() {
  CMenuBase* menu = &userTests_;
  while (menu) {
    menu->Show();
    int key = input_.ReadKey();
    // Keys are not echoed; end the prompt line before the menu prints on.
    std::fputc('\n', report_.Out());
    menu = menu->Select(key);
  }
}

void CTesterProgram::RunArgument(const char* argument) {
  if (!argument || argument[0] == '\0') return;
  char key = argument[1];
  CMenuBase* menu = nullptr;
  if (argument[0] == 'i') {
    internalTests_.GrantPermission();
    menu = &internalTests_;
  } else if (argument[0] == 'u') {
    menu = &userTests_;
  }
  if (!menu || key == kExitKey) return;
  PrintDashLine(report_.Out());
  menu->RunKey(static_cast<unsigned char>(key));
}
