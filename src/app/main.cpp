// Tandrix: a worms deathmatch for up to twelve players at one keyboard.
#include <iostream>
#include <string>
#include <vector>

#include "app/app.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  tdx::AppOptions options;
  std::string error;
  switch (tdx::ParseCommandLine(args, options, error)) {
    case tdx::ParseResult::Usage:
      std::cerr << "tandrix: " << error << "\n" << tdx::UsageText();
      return 2;
    case tdx::ParseResult::Exit:
    case tdx::ParseResult::Run: break;
  }
  return tdx::RunProgram(options);
}
