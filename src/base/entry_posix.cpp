// Arguments arrive as the bytes the shell passed; in a UTF-8 locale, UTF-8.
#include "base/program_entry.h"

int main(int argc, char** argv)
{
    return tarnwick::ProgramMain(std::vector<std::string>(argv, argv + argc));
}
