#include "RenderProgram.h"

int main(int argc, char** argv) {
    return RenderProgram::run(std::vector<std::string>(argv + 1, argv + argc));
}
