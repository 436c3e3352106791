// Program entry of Korvane Pellar.
#include <cstdio>

int main()
{
    std::fputs("Korvane Pellar: the game engine is not built yet; nothing to run.\n", stderr);
    return 1;
}
