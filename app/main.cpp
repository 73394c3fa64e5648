#include "app/KestrelMain.h"

int main(int argc, char** argv) {
  return RunKestrel(argc, argv, DupesEndpoints{KESTREL_PRIMARY_SERVER, KESTREL_BACKUP_SERVER});
}
