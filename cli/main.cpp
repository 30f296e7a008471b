#include <cstdio>

int main() {
    std::puts("zavctl " ZAV_VERSION_TEXT);
    return 0;
}
