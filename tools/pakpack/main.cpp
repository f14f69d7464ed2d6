#include <cstdio>
int main(int argc, char** argv) { std::fprintf(stderr, "pakpack: not built yet\n"); return 1; }
