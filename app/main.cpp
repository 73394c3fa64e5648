#include "app/CommandLine.h"
#include "app/KestrelMain.h"

int main(int argc, char** argv) {
  const DupesEndpoints servers{KESTREL_PRIMARY_SERVER, KESTREL_BACKUP_SERVER};
  if (const auto code = AnswerInfoOption(argc, argv, KESTREL_PACKAGE_VERSION, servers, stdout)) return *code;
  return RunKestrel(argc, argv, servers);
}
