// Placeholder until the simulated programmer lands: builds and links the core.
#include <cstdio>

int main() {
    std::puts("quennel-demo: core library linked");
    return 0;
}
