// Runs N counting ticks (argv[1]); under callgrind, the difference between two counts gives
// the instructions the ticks cost, free of start-up.
#include "BenchWindow.h"
#include "LangUnit.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const long ticks = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1000;
    LanguageUnit lang;
    BenchWindow window;
    TRedialEngine engine(window, window);
    engine.CheckBox1Click();
    for (long i = 0; i < ticks; ++i)
        engine.Timer1Timer();
    std::printf("%s\n", window.Display.c_str());
    return 0;
}
