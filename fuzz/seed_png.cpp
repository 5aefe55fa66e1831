// Writes seeds for fuzz_png: every skin of the real models in the data
// folder as the skin exporter writes it, and small palette and true-colour
// pictures of every shape the program's writers make. With --bmp, the same
// small pictures as 24- and 32-bit BMP for fuzz_bmp_format instead.
//   seed_png OUTDIR [MODEL...]
//   seed_png --bmp OUTDIR

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "core/Endian.h"
#include "core/SafeSave.h"
#include "exchange/PngFormat.h"
#include "mdl/Mdl.h"
#include "raster/ColorTables.h"

namespace fs = std::filesystem;

namespace {

// A true-colour BMP: 24 bits, or 32 bits with a version 5 header and masks.
void WriteBmp(const fs::path& file, int w, int h, const std::vector<uint8_t>& rgba, int bits) {
  const uint32_t info = bits == 24 ? 40 : 124, offset = 14 + info;
  const size_t stride = (size_t(w) * size_t(bits / 8) + 3) & ~size_t{3};
  std::vector<uint8_t> b(offset + stride * size_t(h), 0);
  b[0] = 'B', b[1] = 'M';
  PutU32LE(&b[2], uint32_t(b.size()));
  PutU32LE(&b[10], offset);
  PutU32LE(&b[14], info);
  PutI32LE(&b[18], w);
  PutI32LE(&b[22], bits == 24 ? h : -h);
  PutU16LE(&b[26], 1);
  PutU16LE(&b[28], uint16_t(bits));
  if (bits == 32) {
    PutU32LE(&b[30], 3);
    const uint32_t masks[4] = {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u};
    for (int i = 0; i < 4; ++i) PutU32LE(&b[54 + 4 * size_t(i)], masks[i]);
  }
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = &rgba[(size_t(y) * size_t(w) + size_t(x)) * 4];
      uint8_t* q = &b[offset + stride * size_t(bits == 24 ? h - 1 - y : y) + size_t(x) * size_t(bits / 8)];
      q[0] = p[2], q[1] = p[1], q[2] = p[0];
      if (bits == 32) q[3] = p[3];
    }
  SafeSaveBytes(file.string(), std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
}

}  // namespace

int main(int argc, char** argv) {
  const bool bmp = argc >= 2 && std::string(argv[1]) == "--bmp";
  if (argc < 2 || (bmp && argc != 3)) {
    std::fputs("usage: seed_png OUTDIR [MODEL...]\n       seed_png --bmp OUTDIR\n", stderr);
    return 2;
  }
  if (bmp) ++argv, --argc;
  const fs::path out = argv[1];
  fs::create_directories(out);
  int written = 0;
  for (int i = 2; i < argc; ++i) {
    try {
      TMDL m;
      m.LoadFromFile(argv[i]);
      for (int k = 0; k < m.Skins->Count(); ++k, ++written)
        SaveSkinPng((out / (fs::path(argv[i]).stem().string() + "_" + std::to_string(k) + ".png")).string(),
                    m.Skins->Skin(k).Image);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s: %s\n", argv[i], e.what());
    }
  }
  // Small ones: palette pictures with and without a see-through index,
  // and true-colour pictures with soft and hard edges.
  const TWinGPalette& game = GamePalette();
  std::vector<uint8_t> table(kColorTableSize, 0);
  for (int i = 0; i < 256; ++i) {
    const TRGBQuad q = game.GetColor(i);
    table[size_t(i) * 4] = QuadBlue(q), table[size_t(i) * 4 + 1] = QuadGreen(q), table[size_t(i) * 4 + 2] = QuadRed(q);
  }
  const int sizes[][2] = {{1, 1}, {7, 3}, {33, 17}, {64, 2}};
  for (const auto& s : sizes) {
    const int w = s[0], h = s[1];
    std::vector<uint8_t> indices(size_t(w * h)), rgba(size_t(w * h) * 4);
    for (int p = 0; p < w * h; ++p) {
      indices[size_t(p)] = uint8_t(p * 37 + p / w);
      rgba[size_t(p) * 4] = uint8_t(p * 5), rgba[size_t(p) * 4 + 1] = uint8_t(p * 11);
      rgba[size_t(p) * 4 + 2] = uint8_t(255 - p), rgba[size_t(p) * 4 + 3] = uint8_t(p % 3 == 0 ? 0 : p * 40);
    }
    const std::string stem = "made_" + std::to_string(w) + "x" + std::to_string(h);
    if (bmp) {
      WriteBmp(out / (stem + "_24.bmp"), w, h, rgba, 24);
      WriteBmp(out / (stem + "_32.bmp"), w, h, rgba, 32);
      written += 2;
      continue;
    }
    for (int transparent : {-1, 255}) {
      const TPngIndexed picture{w, h, indices.data(), w, table.data(), transparent};
      SafeSave((out / (stem + (transparent < 0 ? "_palette.png" : "_clear.png"))).string(),
               [&](TStream& stream) { WritePng(stream, picture); });
      ++written;
    }
    const TPngRgba picture{w, h, rgba.data(), w * 4};
    SafeSave((out / (stem + "_rgba.png")).string(), [&](TStream& stream) { WritePng(stream, picture); });
    ++written;
  }
  std::printf("%d seeds in %s\n", written, out.c_str());
  return 0;
}
