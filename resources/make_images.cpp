// Draws the editor's images and writes them as the module's resources:
//   100    PNG, 8-bit RGBA, 86 x 64: the tab button, unselected above, selected below
//   20003  bitmap, 32 bits, 820 x 600: the cloudy dark red background with "IN" and "OUT"
//   20004  bitmap, 32 bits, 64 x 16: the four tool icons
//   20002  bitmap, 24 bits, 112 x 15: the slider track
//   10400  bitmap, 24 bits, 11 x 11: the slider handle
// Bitmaps are written as device-independent bitmaps (header and pixels), as a
// resource section holds them. The output is the same on every run.
//
// Usage: make_images <output folder> <generated source>
// The generated source embeds the files into the module with a lookup table.
#include <cairo.h>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <png.h>
#include <string>
#include <vector>

namespace {

struct Rgba {
    uint8_t r, g, b, a;
};

struct Image {
    int width;
    int height;
    std::vector<Rgba> pixels;
    Image(int w, int h, Rgba fill = {0, 0, 0, 255})
        : width(w)
        , height(h)
        , pixels(size_t(w) * h, fill)
    {
    }
    Rgba& at(int x, int y) { return pixels[size_t(y) * width + x]; }
};

constexpr Rgba kDarkRed {128, 0, 0, 255};
constexpr Rgba kBlack {0, 0, 0, 255};
constexpr Rgba kLightGrey {239, 239, 239, 255};

// ---------------------------------------------------------------- noise

// A hash of lattice coordinates to 0..1, the same everywhere.
double lattice(int x, int y, uint32_t seed)
{
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (h & 0xFFFFFF) / double(0xFFFFFF);
}

double smooth(double t) { return t * t * (3.0 - 2.0 * t); }

double valueNoise(double x, double y, uint32_t seed)
{
    int x0 = int(std::floor(x));
    int y0 = int(std::floor(y));
    double fx = smooth(x - x0);
    double fy = smooth(y - y0);
    double a = lattice(x0, y0, seed), b = lattice(x0 + 1, y0, seed);
    double c = lattice(x0, y0 + 1, seed), d = lattice(x0 + 1, y0 + 1, seed);
    return (a + (b - a) * fx) + ((c + (d - c) * fx) - (a + (b - a) * fx)) * fy;
}

// Clouds: five octaves of value noise, 0..1.
double clouds(double x, double y)
{
    double sum = 0.0, amplitude = 0.5, frequency = 1.0 / 96.0;
    for (int octave = 0; octave < 5; ++octave) {
        sum += amplitude * valueNoise(x * frequency, y * frequency, 17u + octave);
        amplitude *= 0.5;
        frequency *= 2.0;
    }
    return sum / 0.96875;
}

// ---------------------------------------------------------------- cairo helpers

// Runs draw on an ARGB surface initialised from image, and copies it back.
void paintWithCairo(Image& image, const std::function<void(cairo_t*)>& draw)
{
    cairo_surface_t* surface
        = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.width, image.height);
    unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            Rgba p = image.at(x, y);
            reinterpret_cast<uint32_t*>(data + y * stride)[x]
                = uint32_t(p.a) << 24 | uint32_t(p.r) << 16 | uint32_t(p.g) << 8 | p.b;
        }
    cairo_surface_mark_dirty(surface);
    cairo_t* cr = cairo_create(surface);
    draw(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            uint32_t v = reinterpret_cast<uint32_t*>(data + y * stride)[x];
            image.at(x, y) = Rgba {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v), uint8_t(v >> 24)};
        }
    cairo_surface_destroy(surface);
}

// Block letters drawn as strokes in a box of the given height; width is 0.6 x height
// (I is narrower). Font-free, so the images do not depend on what is installed.
double letterPath(cairo_t* cr, char letter, double x, double y, double h)
{
    double w = 0.6 * h;
    switch (letter) {
    case 'I':
        cairo_move_to(cr, x, y);
        cairo_line_to(cr, x, y + h);
        return 0.0;
    case 'N':
        cairo_move_to(cr, x, y + h);
        cairo_line_to(cr, x, y);
        cairo_line_to(cr, x + w, y + h);
        cairo_line_to(cr, x + w, y);
        return w;
    case 'O':
        cairo_new_sub_path(cr);
        cairo_save(cr);
        cairo_translate(cr, x + w / 2, y + h / 2);
        cairo_scale(cr, w / 2, h / 2);
        cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
        cairo_restore(cr);
        return w;
    case 'U':
        cairo_move_to(cr, x, y);
        cairo_line_to(cr, x, y + h - w / 2);
        cairo_arc_negative(cr, x + w / 2, y + h - w / 2, w / 2, M_PI, 0);
        cairo_line_to(cr, x + w, y);
        return w;
    case 'T':
        cairo_move_to(cr, x, y);
        cairo_line_to(cr, x + w, y);
        cairo_move_to(cr, x + w / 2, y);
        cairo_line_to(cr, x + w / 2, y + h);
        return w;
    default: return w;
    }
}

// A word centred in a box, as faint strokes.
void faintWord(cairo_t* cr, const char* word, double cx, double cy, double h)
{
    double gap = 0.35 * h;
    double total = 0.0;
    cairo_new_path(cr);
    for (const char* c = word; *c; ++c)
        total += letterPath(cr, *c, 0, 0, h) + (c[1] ? gap : 0.0);
    cairo_new_path(cr);
    double x = cx - total / 2;
    for (const char* c = word; *c; ++c)
        x += letterPath(cr, *c, x, cy - h / 2, h) + gap;
    cairo_set_line_width(cr, h * 0.14);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_source_rgba(cr, 1.0, 0.78, 0.72, 0.07);
    cairo_stroke(cr);
}

// ---------------------------------------------------------------- the images

Image background()
{
    Image image(820, 600);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            double c = clouds(x, y);
            double streak = 0.08 * valueNoise(x / 300.0, y / 14.0, 91u);
            double v = 0.55 * c + streak;
            image.at(x, y)
                = Rgba {uint8_t(60 + 95 * v), uint8_t(4 + 14 * v), uint8_t(8 + 18 * v), 255};
        }
    paintWithCairo(image, [](cairo_t* cr) {
        faintWord(cr, "IN", 205, 225, 170); // over the tab view (10, 20, 400, 400)
        faintWord(cr, "OUT", 617, 228, 125); // over the note editor (422, 56, 812, 400)
    });
    for (Rgba& p : image.pixels)
        p.a = 255;
    return image;
}

void iconArrow(cairo_t* cr)
{
    cairo_move_to(cr, 4.5, 1.5);
    cairo_line_to(cr, 4.5, 13.0);
    cairo_line_to(cr, 7.2, 10.4);
    cairo_line_to(cr, 9.2, 14.6);
    cairo_line_to(cr, 10.9, 13.8);
    cairo_line_to(cr, 8.9, 9.7);
    cairo_line_to(cr, 12.4, 9.5);
    cairo_close_path(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill(cr);
}

void iconScissors(cairo_t* cr)
{
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_set_line_width(cr, 1.3);
    cairo_arc(cr, 4.5, 11.5, 2.3, 0, 2 * M_PI);
    cairo_stroke(cr);
    cairo_arc(cr, 11.5, 11.5, 2.3, 0, 2 * M_PI);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 1.6);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(cr, 5.9, 9.6);
    cairo_line_to(cr, 11.6, 1.6);
    cairo_move_to(cr, 10.1, 9.6);
    cairo_line_to(cr, 4.4, 1.6);
    cairo_stroke(cr);
    cairo_arc(cr, 8.0, 6.9, 0.8, 0, 2 * M_PI);
    cairo_set_source_rgb(cr, 0.5, 0.0, 0.0);
    cairo_fill(cr);
}

void iconPencil(cairo_t* cr)
{
    // The red stroke it has drawn, then the pencil over it.
    cairo_set_source_rgb(cr, 1.0, 0.12, 0.12);
    cairo_set_line_width(cr, 1.6);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(cr, 1.5, 14.2);
    cairo_curve_to(cr, 3.5, 11.5, 4.5, 15.5, 6.5, 12.8);
    cairo_stroke(cr);
    cairo_save(cr);
    cairo_translate(cr, 3.6, 12.4);
    cairo_rotate(cr, -M_PI / 4);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_move_to(cr, 0, 0);
    cairo_line_to(cr, 3.2, -1.9);
    cairo_line_to(cr, 13.0, -1.9);
    cairo_line_to(cr, 13.0, 1.9);
    cairo_line_to(cr, 3.2, 1.9);
    cairo_close_path(cr);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.5, 0.0, 0.0);
    cairo_set_line_width(cr, 0.8);
    cairo_move_to(cr, 3.2, -1.9);
    cairo_line_to(cr, 3.2, 1.9);
    cairo_move_to(cr, 10.8, -1.9);
    cairo_line_to(cr, 10.8, 1.9);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void iconStretch(cairo_t* cr)
{
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_rectangle(cr, 4.0, 7.0, 8.0, 2.0);
    cairo_fill(cr);
    cairo_move_to(cr, 0.8, 8.0);
    cairo_line_to(cr, 5.2, 3.6);
    cairo_line_to(cr, 5.2, 12.4);
    cairo_close_path(cr);
    cairo_move_to(cr, 15.2, 8.0);
    cairo_line_to(cr, 10.8, 3.6);
    cairo_line_to(cr, 10.8, 12.4);
    cairo_close_path(cr);
    cairo_fill(cr);
}

Image toolIcons()
{
    Image image(64, 16, Rgba {112, 6, 10, 255});
    void (*icons[4])(cairo_t*) = {iconArrow, iconScissors, iconPencil, iconStretch};
    paintWithCairo(image, [&](cairo_t* cr) {
        for (int i = 0; i < 4; ++i) {
            cairo_save(cr);
            cairo_rectangle(cr, i * 16, 0, 16, 16);
            cairo_clip(cr);
            cairo_translate(cr, i * 16, 0);
            icons[i](cr);
            cairo_restore(cr);
        }
    });
    for (Rgba& p : image.pixels)
        p.a = 255;
    return image;
}

Image sliderTrack()
{
    Image image(112, 15, kDarkRed);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (x == 0 || y == 0 || x == image.width - 1 || y == image.height - 1 || y == 7)
                image.at(x, y) = kBlack;
    return image;
}

Image sliderHandle()
{
    Image image(11, 11, kDarkRed);
    for (int i = 1; i < 10; ++i) {
        image.at(5, i) = kLightGrey;
        image.at(i, 5) = kBlack;
    }
    for (int i = 0; i < 11; ++i) {
        image.at(i, 0) = image.at(i, 10) = kLightGrey;
        image.at(0, i) = image.at(10, i) = kLightGrey;
    }
    return image;
}

// Upper half unselected (light edge on top, dark edge at the bottom), lower
// half the same mirrored top to bottom. Inside is fully transparent.
Image tabButtons()
{
    constexpr int kWidth = 86, kHalf = 32;
    Image image(kWidth, 2 * kHalf, Rgba {0, 0, 0, 0});
    const uint8_t lightFade[3] = {237, 120, 40};
    for (int x = 0; x < kWidth; ++x) {
        for (int row = 0; row < 3; ++row)
            image.at(x, row) = Rgba {107, 107, 107, lightFade[row]};
        image.at(x, kHalf - 2) = Rgba {0, 0, 0, 97};
        image.at(x, kHalf - 1) = Rgba {0, 0, 0, 237};
    }
    for (int y = 0; y < kHalf; ++y)
        for (int x = 0; x < kWidth; ++x)
            image.at(x, 2 * kHalf - 1 - y) = image.at(x, y);
    return image;
}

// ---------------------------------------------------------------- writers

void put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// A device-independent bitmap: 40-byte header, bottom-up rows padded to 4 bytes.
std::vector<uint8_t> dib(Image& image, int bits)
{
    std::vector<uint8_t> out;
    int bytes = bits / 8;
    size_t stride = (size_t(image.width) * bytes + 3) & ~size_t(3);
    put32(out, 40);
    put32(out, uint32_t(image.width));
    put32(out, uint32_t(image.height));
    put16(out, 1);
    put16(out, uint16_t(bits));
    put32(out, 0); // uncompressed
    put32(out, uint32_t(stride * image.height));
    put32(out, 2835); // 72 dpi
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    for (int y = image.height - 1; y >= 0; --y) {
        size_t start = out.size();
        for (int x = 0; x < image.width; ++x) {
            Rgba p = image.at(x, y);
            out.push_back(p.b);
            out.push_back(p.g);
            out.push_back(p.r);
            if (bytes == 4)
                out.push_back(p.a);
        }
        while (out.size() - start < stride)
            out.push_back(0);
    }
    return out;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(file);
}

// An 8-bit RGBA PNG, straight (not premultiplied) alpha. Without a time chunk,
// so the file is the same on every run.
bool writePng(const std::string& path, Image& image)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), 8,
        PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
        PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y)
        png_write_row(png, reinterpret_cast<png_const_bytep>(&image.at(0, y)));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

// A preview for people: the image enlarged scale times, over a grey
// checkerboard where it is transparent.
bool writePreview(const std::string& path, const Image& image, int scale)
{
    Image big(image.width * scale, image.height * scale);
    for (int y = 0; y < big.height; ++y)
        for (int x = 0; x < big.width; ++x) {
            Rgba p = image.pixels[size_t(y / scale) * image.width + x / scale];
            int checker = ((x / 8 + y / 8) % 2) ? 200 : 150;
            auto mix = [&](uint8_t c) { return uint8_t((c * p.a + checker * (255 - p.a)) / 255); };
            big.at(x, y) = Rgba {mix(p.r), mix(p.g), mix(p.b), 255};
        }
    return writePng(path, big);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <output folder> <generated source>\n", argv[0]);
        return 2;
    }
    std::string folder = argv[1];
    struct Output {
        const char* type; // "png" or "bitmap"
        long id;
        std::string file;
    };
    std::vector<Output> outputs;
    bool ok = true;

    Image tabs = tabButtons();
    ok &= writePng(folder + "/image_100.png", tabs);
    ok &= writePreview(folder + "/preview_100.png", tabs, 4);
    outputs.push_back({"png", 100, folder + "/image_100.png"});

    struct Plain {
        long id;
        Image image;
        int bits;
        int previewScale;
    };
    Plain plains[] = {{20003, background(), 32, 1}, {20004, toolIcons(), 32, 8},
        {20002, sliderTrack(), 24, 4}, {10400, sliderHandle(), 24, 16}};
    for (Plain& plain : plains) {
        std::string file = folder + "/image_" + std::to_string(plain.id) + ".dib";
        ok &= writeFile(file, dib(plain.image, plain.bits));
        ok &= writePreview(folder + "/preview_" + std::to_string(plain.id) + ".png", plain.image,
            plain.previewScale);
        outputs.push_back({"bitmap", plain.id, file});
    }

    // The embedding: each file pulled into read-only data by the assembler,
    // with hidden symbols so that nothing leaves the module.
    std::ofstream source(argv[2]);
    source << "// Generated by resources/make_images; do not edit.\n"
              "#include \"toolkit/embedded_resources.h\"\n\n";
    for (const Output& out : outputs) {
        std::string name = "cantilo_image_" + std::string(out.type) + "_" + std::to_string(out.id);
        source << "asm(\".section .rodata\\n.balign 16\\n.globl " << name << "\\n.hidden " << name
               << "\\n"
               << name << ":\\n.incbin \\\"" << out.file << "\\\"\\n.globl " << name
               << "_end\\n.hidden " << name << "_end\\n"
               << name << "_end:\\n.previous\");\n";
        source << "extern \"C\" const uint8_t " << name << "[];\n";
        source << "extern \"C\" const uint8_t " << name << "_end[];\n";
    }
    source << "\nconst EmbeddedResource kEmbeddedResources[] = {\n";
    for (const Output& out : outputs) {
        std::string name = "cantilo_image_" + std::string(out.type) + "_" + std::to_string(out.id);
        source << "    {ResourceType::" << out.type << ", " << out.id << ", " << name << ", size_t("
               << name << "_end - " << name << ")},\n";
    }
    source << "};\nconst size_t kEmbeddedResourceCount = " << outputs.size() << ";\n";
    ok &= bool(source);
    return ok ? 0 : 1;
}
