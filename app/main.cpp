#include "app/StartOptions.h"
#include "app/TarvexCollectorApp.h"

int main(int argc, char **argv) {
  // --help and --version answer before the application needs a display.
  if (const auto nExit = AnswerInformationOptions(argc, argv)) {
    return *nExit;
  }
  CTarvexCollectorApp app(argc, argv);
  return app.Run();
}
