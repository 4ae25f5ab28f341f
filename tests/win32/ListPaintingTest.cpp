// How a row's emphasised part looks, painted off screen at 96 and 144 DPI:
// it must read as part of its word and come out stronger than the plain text,
// never lighter.
#include "platform/win32/ListPainting.h"

#include <windows.h>

#include "platform/win32/Handles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace fillahead::win32 {
namespace {

// One row painted into a bitmap of its own, read back as darkness: 0 where a
// pixel has the background's colour, 1 where it has the text's.
class RowImage {
public:
    RowImage(UINT dpi, const Text& text, const Text& emphasis, bool selected) {
        const ListFont font(dpi);
        width_ = 400;
        height_ = font.RowHeight() + 2;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = -height_; // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        const UniqueWindowDC screen = GetUniqueDC(nullptr);
        const UniqueBitmap bitmap(
            CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        const UniqueMemoryDC memory(CreateCompatibleDC(screen.get()));
        if (!bitmap || !memory) {
            throw std::runtime_error("no bitmap to paint into");
        }
        ListPaint paint;
        paint.grid = {1, 1, width_ - 1, height_ - 1};
        paint.rowHeight = font.RowHeight();
        paint.columnWidth = width_ - 2;
        paint.rows = {{text, selected}};
        paint.emphasis = emphasis;
        paint.rowCount = 1;
        paint.pageRows = 1;
        {
            const SelectedObject selectedBitmap(memory.get(), bitmap.get());
            PaintList(memory.get(), {width_, height_}, paint, font, 0);
        }
        GdiFlush();
        const COLORREF background =
            selected ? GetSysColor(COLOR_HIGHLIGHT) : GetSysColor(COLOR_WINDOW);
        const COLORREF ink =
            selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : GetSysColor(COLOR_WINDOWTEXT);
        const auto* pixels = static_cast<const std::uint32_t*>(bits);
        // Inside the border and the cell's padding: the text only.
        for (int y = 2; y < height_ - 2; ++y) {
            for (int x = 2; x < width_ - 2; ++x) {
                const std::uint32_t bgra = pixels[y * width_ + x];
                darkness_.push_back(
                    distance(RGB((bgra >> 16) & 0xFF, (bgra >> 8) & 0xFF, bgra & 0xFF),
                             background) /
                    distance(ink, background));
            }
        }
        width_ -= 4;
        height_ -= 4;
    }

    // The widest run of columns without visible ink (half the text's
    // contrast or more) between the first and the last inked column.
    int WidestGap() const {
        int widest = 0;
        int first = -1;
        int run = 0;
        for (int x = 0; x < width_; ++x) {
            bool inked = false;
            for (int y = 0; y < height_; ++y) {
                inked = inked || at(x, y) >= 0.5;
            }
            if (inked) {
                widest = first >= 0 ? std::max(widest, run) : widest;
                first = first >= 0 ? first : x;
                run = 0;
            } else {
                ++run;
            }
        }
        return widest;
    }
    // All the ink, and how dark its pixels are on average.
    double TotalInk() const {
        double total = 0;
        for (const double value : darkness_) {
            total += value;
        }
        return total;
    }
    double MeanInk() const {
        const auto inked = std::count_if(darkness_.begin(), darkness_.end(),
                                         [](double value) { return value > 0.05; });
        return inked == 0 ? 0 : TotalInk() / static_cast<double>(inked);
    }

private:
    static double distance(COLORREF a, COLORREF b) {
        return std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
               std::abs(GetBValue(a) - GetBValue(b)) + 1e-9;
    }
    double at(int x, int y) const { return darkness_[static_cast<std::size_t>(y * width_ + x)]; }

    int width_ = 0;
    int height_ = 0;
    std::vector<double> darkness_;
};

TEST(ListPainting, AMatchInsideAWordReadsAsOneWord) {
    for (const UINT dpi : {96u, 144u}) {
        for (const auto& [text, typed] : {std::pair<Text, Text>{u"Johnson", u"hns"},
                                          {u"Williams", u"lia"},
                                          {u"Kraków", u"AKÓ"},
                                          {u"Anderson", u"ers"}}) {
            SCOPED_TRACE(testing::Message() << "dpi " << dpi << ", " << toUtf8(text));
            const RowImage plain(dpi, text, u"", false);
            const RowImage emphasised(dpi, text, typed, false);
            EXPECT_LE(emphasised.WidestGap(), plain.WidestGap());
            EXPECT_GT(emphasised.TotalInk(), plain.TotalInk() * 1.1);
        }
    }
}

TEST(ListPainting, TheEmphasisIsStrongerAndNeverLighter) {
    for (const UINT dpi : {96u, 144u}) {
        for (const bool selected : {false, true}) {
            SCOPED_TRACE(testing::Message() << "dpi " << dpi << (selected ? ", selected" : ""));
            const RowImage plain(dpi, u"Georgetown", u"", selected);
            const RowImage emphasised(dpi, u"Georgetown", u"georgetown", selected);
            EXPECT_GT(emphasised.TotalInk(), plain.TotalInk() * 1.25);
            EXPECT_GE(emphasised.MeanInk(), plain.MeanInk() - 0.02);
        }
    }
}

} // namespace
} // namespace fillahead::win32
