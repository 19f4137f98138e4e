// Build tool: packs picture files into one picture resource, each entry a 4-byte little-endian
// length followed by the picture's bytes.
//   doryou_pack_images OUT PICTURE...

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: doryou_pack_images OUT PICTURE...\n");
        return 2;
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    for (int i = 2; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        const std::string data((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
        const uint32_t n = static_cast<uint32_t>(data.size());
        const unsigned char length[4] = {
            static_cast<unsigned char>(n), static_cast<unsigned char>(n >> 8),
            static_cast<unsigned char>(n >> 16), static_cast<unsigned char>(n >> 24)};
        out.write(reinterpret_cast<const char*>(length), 4);
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
    }
    out.close();
    return out ? 0 : 1;
}
