#include "app/CommandLine.h"
#include "app/KestrelMain.h"
#include "platform/Diagnostics.h"
#include "res/Texts.h"

int main(int argc, char** argv) {
  const DupesEndpoints servers{KESTREL_PRIMARY_SERVER, KESTREL_BACKUP_SERVER};
  if (const auto code = AnswerInfoOption(argc, argv, KESTREL_PACKAGE_VERSION, servers, stdout)) return *code;
  if (const auto option = UnknownOption(argc, argv)) {
    ReportFailure(UnknownOptionText(*option));
    return 2;
  }
  return RunKestrel(argc, argv, servers);
}
