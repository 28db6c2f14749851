// Writes the crafted WAV files into a folder, as the fuzzer's seed corpus.
#include <cstdio>
#include <string>

#include "crafted_wavs.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_corpus FOLDER\n");
        return 2;
    }
    int n = 0;
    for (const CraftedWav& c : craftedWavs()) {
        const std::string path = std::string(argv[1]) + "/seed" + std::to_string(n++) + ".wav";
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f || std::fwrite(c.bytes.data(), 1, c.bytes.size(), f) != c.bytes.size()) return 1;
        std::fclose(f);
    }
    std::printf("%d seed files in %s\n", n, argv[1]);
    return 0;
}
