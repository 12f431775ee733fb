// The explorer's map and growth files and its stdout lines; tolerances.png is the map itself,
// written by picture_io (explore_run.cpp).
#include "explore_outputs.h"

#include <math.h>
#include <string.h>

#include <algorithm>

#include "program_messages.h" // WithThousands
#include "tool_options.h"     // Quoted
#include "viridis_table.h"

namespace growth_views {

std::string ToleranceShown(const std::string& text) {
    const int32_t value = ParseToleranceText(text.c_str());
    const std::string read = std::to_string(value);
    if (value >= 0 && value <= 255 && text == read)
        return text;
    return command_line::Quoted(text, '"') + " (read as " + read + ")";
}

// ---- map.png -----------------------------------------------------------------------------------

namespace {

// A 5 x 7 pixel font for the legend: digits and the few letters its words need. Each row is
// five bits, the leftmost in bit 4.
struct Glyph {
    char c;
    uint8_t rows[7];
};
const Glyph Font[] = {
    {'0', {14, 17, 19, 21, 25, 17, 14}}, {'1', {4, 12, 4, 4, 4, 4, 14}},
    {'2', {14, 17, 1, 2, 4, 8, 31}},     {'3', {31, 2, 4, 2, 1, 17, 14}},
    {'4', {2, 6, 10, 18, 31, 2, 2}},     {'5', {31, 16, 30, 1, 1, 17, 14}},
    {'6', {6, 8, 16, 30, 17, 17, 14}},   {'7', {31, 1, 2, 4, 8, 8, 8}},
    {'8', {14, 17, 17, 14, 17, 17, 14}}, {'9', {14, 17, 17, 15, 1, 2, 12}},
    {'a', {0, 0, 14, 1, 15, 17, 15}},    {'c', {0, 0, 14, 16, 16, 17, 14}},
    {'e', {0, 0, 14, 17, 31, 16, 14}},   {'l', {12, 4, 4, 4, 4, 4, 14}},
    {'n', {0, 0, 22, 25, 17, 17, 17}},   {'o', {0, 0, 14, 17, 17, 17, 14}},
    {'p', {0, 0, 30, 17, 30, 16, 16}},   {'r', {0, 0, 22, 25, 16, 16, 16}},
    {'s', {0, 0, 14, 16, 14, 1, 30}},    {'t', {8, 8, 28, 8, 8, 9, 6}},
    {'v', {0, 0, 17, 17, 17, 10, 4}},    {'-', {0, 0, 0, 31, 0, 0, 0}},
};

struct Canvas {
    picture_io::Picture* image;
    void Fill(int32_t left, int32_t top, int32_t width, int32_t height, uint32_t colour) {
        for (int32_t y = std::max(top, 0); y < std::min(top + height, image->height); ++y)
            for (int32_t x = std::max(left, 0); x < std::min(left + width, image->width); ++x)
                image->pixels[size_t(y) * size_t(image->width) + size_t(x)] = colour;
    }
    // Text with its top left at (left, top), each font pixel `scale` pixels square.
    void Text(int32_t left, int32_t top, const std::string& text, int32_t scale, uint32_t colour) {
        for (char c : text) {
            for (const Glyph& glyph : Font)
                if (glyph.c == c)
                    for (int32_t row = 0; row < 7; ++row)
                        for (int32_t column = 0; column < 5; ++column)
                            if (glyph.rows[row] >> (4 - column) & 1)
                                Fill(left + column * scale, top + row * scale, scale, scale,
                                     colour);
            left += 6 * scale;
        }
    }
};

int32_t TextWidth(const std::string& text, int32_t scale) {
    return int32_t(text.size()) * 6 * scale - scale;
}

uint32_t DimmedGrey(uint32_t colour) {
    uint32_t luma =
        (77 * (colour >> 16 & 0xFF) + 150 * (colour >> 8 & 0xFF) + 29 * (colour & 0xFF)) >> 8;
    uint32_t grey = 48 + luma * 2 / 5; // 48..150: darker than the scale's bright end
    return grey * 0x010101u;
}

// The colour scale is logarithmic, log(1 + value) from 0 to the map's largest value: leaks happen
// at small steps, and a linear scale would paint nearly every pixel the same dark colour. Returns
// the position on the scale, 0..1.
double ScalePosition(int32_t value, int32_t top) {
    return log1p(double(value)) / log1p(double(top));
}

uint32_t ScaleColour(int32_t value, int32_t top) {
    return ViridisTable[int32_t(lround(255.0 * ScalePosition(value, top)))];
}

// The largest join tolerance in the map, at least 1: the top of the colour scale.
int32_t ScaleTop(const std::vector<uint16_t>& map) {
    int32_t top = 1;
    for (uint16_t value : map)
        if (value != tolerance_explorer::JoinNever && value > top)
            top = value;
    return top;
}

// The seed: a cross in white with a black outline, its centre left open to show the seed. Each
// arm starts two pixels from the seed and is `arm` - 1 long; the outline is the white cross
// grown by one pixel on every side, drawn first.
void DrawSeedCross(Canvas* canvas, const Exploration& exploration) {
    const int32_t arm = std::max(4, std::min(exploration.width, exploration.height) / 30);
    const int32_t thick = std::max(1, arm / 6);
    for (int32_t pass = 0; pass < 2; ++pass) {
        const int32_t grow = pass == 0 ? 1 : 0;
        const uint32_t colour = pass == 0 ? 0x000000u : 0xFFFFFFu;
        const int32_t sx = exploration.seedX, sy = exploration.seedY;
        canvas->Fill(sx - arm - grow, sy - thick / 2 - grow, arm - 1 + 2 * grow, thick + 2 * grow,
                     colour);
        canvas->Fill(sx + 2 - grow, sy - thick / 2 - grow, arm - 1 + 2 * grow, thick + 2 * grow,
                     colour);
        canvas->Fill(sx - thick / 2 - grow, sy - arm - grow, thick + 2 * grow, arm - 1 + 2 * grow,
                     colour);
        canvas->Fill(sx - thick / 2 - grow, sy + 2 - grow, thick + 2 * grow, arm - 1 + 2 * grow,
                     colour);
    }
}

// Where the legend's parts go, below the map, in a canvas `scale` times the font's size.
struct LegendLayout {
    int32_t scale, margin, barHeight;
    int32_t captionTop, barTop, labelTop;
    int32_t barLeft, barRight, swatchWidth;

    LegendLayout(int32_t canvasWidth, int32_t mapHeight) {
        scale = std::max(1, canvasWidth / 480);
        margin = 6 * scale;
        barHeight = 12 * scale;
        captionTop = mapHeight + margin;
        barTop = captionTop + 10 * scale;
        labelTop = barTop + barHeight + 3 * scale;
        swatchWidth = 12 * scale;
        const int32_t neverWidth = swatchWidth + 4 * scale + TextWidth("never", scale);
        barLeft = margin + 2 * scale;
        barRight = canvasWidth - margin - neverWidth - 8 * scale;
    }
    // Caption, gap, bar, gap, labels, each with a margin around.
    int32_t Height() const {
        return margin + 7 * scale + 3 * scale + barHeight + 3 * scale + 7 * scale + margin;
    }
};

// The colour bar's labels at 0, 1, 2, 4, 8, ... and the top, each with a tick where its colour
// is on the bar, leaving out one that would touch its neighbour (never the first or the last).
void DrawScaleLabels(Canvas* canvas, const LegendLayout& legend, int32_t top, uint32_t ink) {
    const int32_t scale = legend.scale, barWidth = legend.barRight - legend.barLeft;
    std::vector<int32_t> labelled = {0};
    for (int32_t value = 1; value < top; value *= 2)
        labelled.push_back(value);
    labelled.push_back(top);
    int32_t freeFrom = legend.barLeft - 2 * scale; // the first column a label may use
    for (size_t i = 0; i < labelled.size(); ++i) {
        const std::string label = std::to_string(labelled[i]);
        const int32_t centre =
            legend.barLeft + int32_t(lround(ScalePosition(labelled[i], top) * (barWidth - 1)));
        const int32_t labelLeft = centre - TextWidth(label, scale) / 2;
        const bool last = i + 1 == labelled.size();
        if (labelLeft < freeFrom && i > 0 && !last)
            continue;
        canvas->Fill(centre, legend.barTop + legend.barHeight, std::max(1, scale / 2), 2 * scale,
                     ink);
        canvas->Text(std::max(labelLeft, freeFrom), legend.labelTop, label, scale, ink);
        freeFrom = std::max(labelLeft, freeFrom) + TextWidth(label, scale) + 4 * scale;
    }
}

// The legend: "step tolerance" over the colour bar, its values below, and a grey swatch for
// "never".
void DrawLegend(Canvas* canvas, const LegendLayout& legend, int32_t top) {
    const uint32_t ink = 0x202020u;
    const int32_t scale = legend.scale, barWidth = legend.barRight - legend.barLeft;
    canvas->Text(legend.barLeft, legend.captionTop, "step tolerance", scale, ink);
    for (int32_t x = legend.barLeft; x < legend.barRight; ++x)
        canvas->Fill(x, legend.barTop, 1, legend.barHeight,
                     ViridisTable[int32_t(lround(255.0 * (x - legend.barLeft) / (barWidth - 1)))]);
    DrawScaleLabels(canvas, legend, top, ink);
    const int32_t swatchLeft = legend.barRight + 8 * scale;
    canvas->Fill(swatchLeft, legend.barTop, legend.swatchWidth, legend.barHeight,
                 DimmedGrey(0x808080u));
    canvas->Text(swatchLeft + legend.swatchWidth + 4 * scale,
                 legend.barTop + (legend.barHeight - 7 * scale) / 2, "never", scale, ink);
}

} // namespace

picture_io::Picture DrawToleranceMap(const Exploration& exploration,
                                     const std::vector<uint32_t>& picture) {
    const int32_t width = exploration.width, height = exploration.height;
    const int32_t top = ScaleTop(exploration.map);
    const int32_t canvasWidth = std::max(width, 360);
    const LegendLayout legend(canvasWidth, height);
    picture_io::Picture image;
    image.width = canvasWidth;
    image.height = height + legend.Height();
    image.pixels.assign(size_t(image.width) * size_t(image.height), 0xFFFFFFu);
    // Each pixel's join tolerance in colour; a pixel no step joins shows the picture, greyed.
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            size_t i = size_t(y) * size_t(width) + size_t(x);
            uint16_t value = exploration.map[i];
            image.pixels[size_t(y) * size_t(canvasWidth) + size_t(x)] =
                value == tolerance_explorer::JoinNever ? DimmedGrey(picture[i])
                                                       : ScaleColour(value, top);
        }
    Canvas canvas{&image};
    DrawSeedCross(&canvas, exploration);
    DrawLegend(&canvas, legend, top);
    return image;
}

// ---- growth.tsv --------------------------------------------------------------------------------

void WriteGrowthTable(FILE* file, const Exploration& exploration) {
    fputs("step_tolerance\tpixels_painted\n", file);
    for (int32_t t = 0; t < tolerance_explorer::StepCount; ++t)
        fprintf(file, "%d\t%lu\n", int(t), (unsigned long)exploration.curve.pixels[t]);
}

// ---- growth.svg --------------------------------------------------------------------------------

namespace {

std::string Number(double value) {
    char text[32];
    snprintf(text, sizeof text, "%.1f", value);
    return text;
}

// 1, 10, 100, 1k, 10k, ... for the axis.
std::string PowerOfTenLabel(int exponent) {
    static const char* const Labels[] = {"1",    "10", "100", "1k",   "10k",
                                         "100k", "1M", "10M", "100M", "1G"};
    return exponent >= 0 && exponent < 10 ? Labels[exponent] : "1e" + std::to_string(exponent);
}

std::string Escaped(const std::string& text) {
    std::string escaped;
    for (char c : text)
        escaped += c == '<'   ? "&lt;"
                   : c == '>' ? "&gt;"
                   : c == '&' ? "&amp;"
                   : c == '"' ? "&quot;"
                              : std::string(1, c);
    return escaped;
}

const char* const MainCurveColour = "#08306b";
const char* const OtherCurveColours[] = {"#e6550d", "#756bb1", "#636363",
                                         "#31a354", "#de2d26", "#3182bd"};
static_assert(sizeof OtherCurveColours / sizeof *OtherCurveColours >=
                  size_t(command_line::MostExploreSeeds),
              "a colour for each curve --explore-seeds may add");

// One curve's entry in the key: its line and label, at x in its row of the key.
struct KeyEntry {
    const char* colour;
    std::string label;
    double x;
    int32_t row;
};
const double KeyRowHeight = 16;

// The plot's frame and its two logarithmic axes, in the picture's units, below the title and
// the key; the key takes as many rows as its entries need, each row moving the frame down.
struct GrowthAxes {
    double width = 760, height = 460;
    double left = 78, right = 730, top = 56, bottom = 396;
    int lowDecade, highDecade; // the pixel axis runs from 10^lowDecade to 10^highDecade
    std::vector<KeyEntry> key; // one entry per curve, when there is more than one

    explicit GrowthAxes(const Exploration& exploration) {
        // Decades wide enough for every curve (each grows with the step, so its ends are its
        // least and its most).
        uint32_t least = exploration.curve.pixels[0],
                 most = exploration.curve.pixels[tolerance_explorer::StepCount - 1];
        for (const GrowthCurve& other : exploration.otherCurves) {
            least = std::min(least, other.pixels[0]);
            most = std::max(most, other.pixels[tolerance_explorer::StepCount - 1]);
        }
        lowDecade = int(floor(log10(double(std::max<uint32_t>(least, 1)))));
        highDecade = int(ceil(log10(double(std::max<uint32_t>(most, 1)))));
        if (highDecade <= lowDecade)
            highDecade = lowDecade + 1;
        LayOutKey(exploration);
        const double below = key.empty() ? 0 : KeyRowHeight * key.back().row;
        top += below;
        bottom += below;
        height += below;
    }
    // Steps on a logarithmic axis too, log(1 + step): the leaks that matter happen at small
    // steps, and a linear axis would give them a sliver. Step T spans X(T) to X(T + 1).
    double X(double step) const {
        return left + (right - left) * log1p(step) / log1p(tolerance_explorer::StepCount);
    }
    double Y(uint32_t pixels) const {
        double decades = log10(double(std::max<uint32_t>(pixels, 1))) - lowDecade;
        return bottom - (bottom - top) * decades / (highDecade - lowDecade);
    }

  private:
    // The first row starts after the "stable ranges" swatch, the next ones under it; an entry
    // that would pass the picture's right margin starts the next row.
    void LayOutKey(const Exploration& exploration) {
        if (exploration.otherCurves.empty())
            return;
        const double start = left + 120, end = width - 10;
        double x = start;
        int32_t row = 0;
        auto add = [&](const char* colour, const std::string& label) {
            const double size = 22 + 6.5 * double(label.size()); // the line, a gap, the text
            if (x > start && x + size > end) {
                x = start;
                ++row;
            }
            key.push_back({colour, label, x, row});
            x += size + 18;
        };
        add(MainCurveColour, "seed tolerance " + ToleranceShown(exploration.curve.seedText));
        for (size_t i = 0; i < exploration.otherCurves.size(); ++i)
            add(OtherCurveColours[i], "seed tolerance " + exploration.otherCurves[i].seedText);
    }
};

void WritePlotHeading(FILE* file, const Exploration& exploration, const GrowthAxes& axes) {
    const double width = axes.width, height = axes.height;
    fprintf(file,
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" "
            "viewBox=\"0 0 %.0f %.0f\" font-family=\"DejaVu Sans, Arial, sans-serif\" "
            "font-size=\"12\">\n",
            width, height, width, height);
    fprintf(file, "<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n");
    std::string title = "Pixels painted by each step tolerance: click (" +
                        std::to_string(exploration.seedX) + ", " +
                        std::to_string(exploration.seedY) + "), seed tolerance " +
                        ToleranceShown(exploration.curve.seedText);
    // About 8.4 units a character in bold at 15: a title longer than the room (a long seed
    // tolerance text) is squeezed into it rather than cut off at the picture's edge.
    const double room = axes.width - 10 - axes.left;
    const std::string squeezed =
        8.4 * double(title.size()) > room
            ? " textLength=\"" + Number(room) + "\" lengthAdjust=\"spacingAndGlyphs\""
            : "";
    fprintf(file, "<text x=\"%s\" y=\"24\" font-size=\"15\" font-weight=\"bold\"%s>%s</text>\n",
            Number(axes.left).c_str(), squeezed.c_str(), Escaped(title).c_str());
}

// The main curve's stable ranges, shaded, the widest darkest.
void WriteStableRanges(FILE* file, const uint32_t* pixels, const GrowthAxes& axes) {
    tolerance_explorer::StableRange ranges[tolerance_explorer::MaxStableRanges];
    int32_t rangeCount = tolerance_explorer::FindStableRanges(pixels, ranges);
    for (int32_t i = 0; i < rangeCount; ++i)
        fprintf(file,
                "<rect x=\"%s\" y=\"%s\" width=\"%s\" height=\"%s\" fill=\"#2ca25f\" "
                "fill-opacity=\"%s\"/>\n",
                Number(axes.X(ranges[i].first)).c_str(), Number(axes.top).c_str(),
                Number(axes.X(ranges[i].last + 1) - axes.X(ranges[i].first)).c_str(),
                Number(axes.bottom - axes.top).c_str(), i == 0 ? "0.22" : "0.12");
}

// A grid line per decade and at a few steps, the frame, and the axes' titles.
void WriteGridAndAxes(FILE* file, const GrowthAxes& axes) {
    const double left = axes.left, right = axes.right, top = axes.top, bottom = axes.bottom;
    for (int decade = axes.lowDecade; decade <= axes.highDecade; ++decade) {
        double y = bottom -
                   (bottom - top) * (decade - axes.lowDecade) / (axes.highDecade - axes.lowDecade);
        fprintf(file,
                "<line x1=\"%s\" y1=\"%s\" x2=\"%s\" y2=\"%s\" stroke=\"#d0d0d0\"/>\n"
                "<text x=\"%s\" y=\"%s\" text-anchor=\"end\">%s</text>\n",
                Number(left).c_str(), Number(y).c_str(), Number(right).c_str(), Number(y).c_str(),
                Number(left - 6).c_str(), Number(y + 4).c_str(), PowerOfTenLabel(decade).c_str());
    }
    for (int step : {0, 1, 2, 4, 8, 16, 32, 64, 128, 255}) {
        double x = axes.X(step + 0.5);
        fprintf(file,
                "<line x1=\"%s\" y1=\"%s\" x2=\"%s\" y2=\"%s\" stroke=\"#e4e4e4\"/>\n"
                "<text x=\"%s\" y=\"%s\" text-anchor=\"middle\">%d</text>\n",
                Number(x).c_str(), Number(top).c_str(), Number(x).c_str(), Number(bottom).c_str(),
                Number(x).c_str(), Number(bottom + 16).c_str(), step);
    }
    fprintf(
        file,
        "<rect x=\"%s\" y=\"%s\" width=\"%s\" height=\"%s\" fill=\"none\" stroke=\"#404040\"/>\n",
        Number(left).c_str(), Number(top).c_str(), Number(right - left).c_str(),
        Number(bottom - top).c_str());
    fprintf(file,
            "<text x=\"%s\" y=\"%s\" text-anchor=\"middle\">step tolerance (logarithmic)</text>\n",
            Number((left + right) / 2).c_str(), Number(bottom + 34).c_str());
    fprintf(file,
            "<text transform=\"translate(18 %s) rotate(-90)\" text-anchor=\"middle\">pixels "
            "painted (logarithmic)</text>\n",
            Number((top + bottom) / 2).c_str());
}

// A curve: each step a flat segment, so that a leak shows as a riser.
void WriteCurve(FILE* file, const GrowthAxes& axes, const uint32_t* pixels, const char* colour,
                double strokeWidth) {
    std::string path;
    for (int32_t t = 0; t < tolerance_explorer::StepCount; ++t) {
        path += (t == 0 ? "M" : " L") + Number(axes.X(t)) + " " + Number(axes.Y(pixels[t]));
        path += " L" + Number(axes.X(t + 1)) + " " + Number(axes.Y(pixels[t]));
    }
    fprintf(file,
            "<path d=\"%s\" fill=\"none\" stroke=\"%s\" stroke-width=\"%s\" "
            "stroke-linejoin=\"round\"/>\n",
            path.c_str(), colour, Number(strokeWidth).c_str());
}

// A dashed line at `step`, labelled `row` units below the frame's top, on the side of the line
// with more room.
void MarkStep(FILE* file, const GrowthAxes& axes, int32_t step, const char* colour,
              const std::string& label, double row) {
    double x = axes.X(step + 0.5);
    bool leftOfLine = x > (axes.left + axes.right) / 2;
    fprintf(file,
            "<line x1=\"%s\" y1=\"%s\" x2=\"%s\" y2=\"%s\" stroke=\"%s\" stroke-width=\"1.5\" "
            "stroke-dasharray=\"5 3\"/>\n"
            "<text x=\"%s\" y=\"%s\" fill=\"%s\" text-anchor=\"%s\">%s</text>\n",
            Number(x).c_str(), Number(axes.top).c_str(), Number(x).c_str(),
            Number(axes.bottom).c_str(), colour, Number(leftOfLine ? x - 4 : x + 4).c_str(),
            Number(axes.top + row).c_str(), colour, leftOfLine ? "end" : "start",
            Escaped(label).c_str());
}

// The given step and, where it differs, the suggested one.
void WriteStepMarks(FILE* file, const Exploration& exploration, const GrowthAxes& axes) {
    const uint32_t* main = exploration.curve.pixels;
    const int32_t step = std::min(exploration.step, tolerance_explorer::StepCount - 1);
    if (step >= 0)
        MarkStep(file, axes, step, "#c51b8a",
                 "--step " + ToleranceShown(exploration.stepText) + ": " +
                     command_line::WithThousands(
                         tolerance_explorer::PixelsPaintedAtStep(main, exploration.step)) +
                     " px",
                 16);
    int32_t suggestion = tolerance_explorer::SuggestStepTolerance(main);
    if (suggestion >= 0 && suggestion != step)
        MarkStep(file, axes, suggestion, "#006d2c",
                 "suggested " + std::to_string(suggestion) + ": " +
                     command_line::WithThousands(main[suggestion]) + " px",
                 32);
}

// The key: what is shaded, and the curves' entries laid out by GrowthAxes.
void WriteKey(FILE* file, const GrowthAxes& axes) {
    const double keyY = 44;
    fprintf(file,
            "<rect x=\"%s\" y=\"%s\" width=\"14\" height=\"10\" fill=\"#2ca25f\" "
            "fill-opacity=\"0.3\"/><text x=\"%s\" y=\"%s\">stable ranges</text>\n",
            Number(axes.left).c_str(), Number(keyY - 9).c_str(), Number(axes.left + 18).c_str(),
            Number(keyY).c_str());
    for (const KeyEntry& entry : axes.key) {
        const double y = keyY + KeyRowHeight * entry.row;
        fprintf(file,
                "<line x1=\"%s\" y1=\"%s\" x2=\"%s\" y2=\"%s\" stroke=\"%s\" stroke-width=\"2.4\"/>"
                "<text x=\"%s\" y=\"%s\">%s</text>\n",
                Number(entry.x).c_str(), Number(y - 4).c_str(), Number(entry.x + 18).c_str(),
                Number(y - 4).c_str(), entry.colour, Number(entry.x + 22).c_str(),
                Number(y).c_str(), Escaped(entry.label).c_str());
    }
}

} // namespace

void WriteGrowthPlot(FILE* file, const Exploration& exploration) {
    const GrowthAxes axes(exploration);
    WritePlotHeading(file, exploration, axes);
    WriteStableRanges(file, exploration.curve.pixels, axes); // behind everything else
    WriteGridAndAxes(file, axes);
    for (size_t i = 0; i < exploration.otherCurves.size(); ++i)
        WriteCurve(file, axes, exploration.otherCurves[i].pixels, OtherCurveColours[i], 1.6);
    WriteCurve(file, axes, exploration.curve.pixels, MainCurveColour, 2.4);
    WriteStepMarks(file, exploration, axes);
    WriteKey(file, axes);
    fputs("</svg>\n", file);
}

// ---- The lines after the summary ---------------------------------------------------------------

static std::string PixelsText(uint32_t first, uint32_t last) {
    return first != last ? command_line::WithThousands(first) + "-" +
                               command_line::WithThousands(last) + " pixels"
           : first == 1 ? std::string("1 pixel (the seed alone)")
                        : command_line::WithThousands(first) + " pixels";
}

std::vector<std::string> ExplorationLines(const Exploration& exploration) {
    const uint32_t* curve = exploration.curve.pixels;
    std::vector<std::string> lines;
    tolerance_explorer::StableRange ranges[tolerance_explorer::MaxStableRanges];
    int32_t count = tolerance_explorer::FindStableRanges(curve, ranges);
    const int32_t Listed = 6;
    std::string stable =
        count == 0 ? "stable steps: none (every step paints a quarter more)" : "stable steps ";
    for (int32_t i = 0; i < count && i < Listed; ++i)
        stable += (i > 0 ? "; " : "") + std::to_string(ranges[i].first) + "-" +
                  std::to_string(ranges[i].last) + ": " +
                  PixelsText(ranges[i].firstPixels, ranges[i].lastPixels);
    if (count > Listed)
        stable += "; " + std::to_string(count - Listed) + " more, narrower";
    lines.push_back(stable);

    tolerance_explorer::Leak leak;
    const int32_t step = exploration.step;
    if (tolerance_explorer::FindNextLeak(curve, step, &leak))
        lines.push_back("next leak: step " + std::to_string(leak.from) + " -> " +
                        std::to_string(leak.to) + " adds " +
                        command_line::WithThousands(leak.addedPixels) + " pixels");
    else
        lines.push_back("next leak: none above step " + std::to_string(std::min(step, 255)) +
                        " (no higher step paints a quarter more)");

    int32_t suggestion = tolerance_explorer::SuggestStepTolerance(curve);
    if (suggestion < 0)
        lines.push_back("suggested step tolerance: none (every step paints the seed alone)");
    else
        lines.push_back(
            "suggested step tolerance: " + std::to_string(suggestion) + " (" +
            command_line::WithThousands(curve[suggestion]) +
            (curve[suggestion] < curve[tolerance_explorer::StepCount - 1]
                 ? " pixels; the middle of the widest stable range between the seed alone and "
                   "all that step 255 paints)"
                 : " pixels, all that step 255 paints: no stable range stops short of it)"));
    return lines;
}

} // namespace growth_views
