#include "ui/flags.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace ek {
namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF, kBlack = 0xFF000000, kRed = 0xFFD52B1E, kBlue = 0xFF0039A6,
                   kNavy = 0xFF012169, kGreen = 0xFF009246, kYellow = 0xFFFFCE00, kGold = 0xFFFFCC00;

class Canvas {
 public:
  Canvas(int w, int h) : w_(w), h_(h), px_(static_cast<size_t>(w) * static_cast<size_t>(h), kWhite) {}
  int w() const { return w_; }
  int h() const { return h_; }
  void Set(int x, int y, uint32_t c) {
    if (x >= 0 && y >= 0 && x < w_ && y < h_) px_[static_cast<size_t>(y) * static_cast<size_t>(w_) + static_cast<size_t>(x)] = c;
  }
  void Fill(int x0, int y0, int x1, int y1, uint32_t c) {
    for (int y = std::max(0, y0); y < std::min(h_, y1); ++y)
      for (int x = std::max(0, x0); x < std::min(w_, x1); ++x) Set(x, y, c);
  }
  // Bands from top to bottom; each colour with its share.
  void Horizontal(std::initializer_list<std::pair<uint32_t, int>> bands) {
    int total = 0;
    for (auto& b : bands) total += b.second;
    int acc = 0;
    for (auto& b : bands) {
      const int y0 = h_ * acc / total;
      acc += b.second;
      Fill(0, y0, w_, h_ * acc / total, b.first);
    }
  }
  void Vertical(std::initializer_list<std::pair<uint32_t, int>> bands) {
    int total = 0;
    for (auto& b : bands) total += b.second;
    int acc = 0;
    for (auto& b : bands) {
      const int x0 = w_ * acc / total;
      acc += b.second;
      Fill(x0, 0, w_ * acc / total, h_, b.first);
    }
  }
  // A cross whose upright stands at `cx` (fraction of the width).
  void Cross(double cx, double thickness, uint32_t c) {
    const int t = std::max(1, static_cast<int>(std::lround(h_ * thickness)));
    const int x = static_cast<int>(std::lround(w_ * cx)) - t / 2, y = h_ / 2 - t / 2;
    Fill(x, 0, x + t, h_, c);
    Fill(0, y, w_, y + t, c);
  }
  void Saltire(double thickness, uint32_t c) {
    const double t = h_ * thickness / 2;
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) {
        const double fx = (x + 0.5) / w_, fy = (y + 0.5) / h_;
        if (std::fabs(fx - fy) * h_ < t || std::fabs(fx + fy - 1) * h_ < t) Set(x, y, c);
      }
  }
  void Disc(double cx, double cy, double r, uint32_t c) {
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) {
        const double dx = (x + 0.5) - cx * w_, dy = (y + 0.5) - cy * h_;
        if (dx * dx + dy * dy <= r * r * h_ * h_) Set(x, y, c);
      }
  }
  void Diamond(double margin, uint32_t c) {
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) {
        const double dx = std::fabs((x + 0.5) / w_ - 0.5), dy = std::fabs((y + 0.5) / h_ - 0.5);
        if (dx / (0.5 - margin) + dy / (0.5 - margin) <= 1.0) Set(x, y, c);
      }
  }
  // A triangle from the hoist to `depth` (fraction of the width).
  void Triangle(double depth, uint32_t c) {
    for (int y = 0; y < h_; ++y) {
      const double fy = std::fabs((y + 0.5) / h_ - 0.5) * 2;
      Fill(0, y, static_cast<int>(std::lround(w_ * depth * (1 - fy))), y + 1, c);
    }
  }
  void Frame(uint32_t c) {
    for (int x = 0; x < w_; ++x) {
      Set(x, 0, c);
      Set(x, h_ - 1, c);
    }
    for (int y = 0; y < h_; ++y) {
      Set(0, y, c);
      Set(w_ - 1, y, c);
    }
  }
  std::vector<uint32_t> Take() { return std::move(px_); }

 private:
  int w_, h_;
  std::vector<uint32_t> px_;
};

void Paint(Canvas& c, int index) {
  switch (index) {
    case 1: c.Horizontal({{kBlack, 1}, {0xFFDD0000, 1}, {kYellow, 1}}); break;
    case 2: c.Horizontal({{0xFFAA151B, 1}, {0xFFF1BF00, 2}, {0xFFAA151B, 1}}); break;
    case 3: c.Horizontal({{kWhite, 1}, {kBlue, 1}, {kRed, 1}}); break;
    case 4: c.Vertical({{kGreen, 1}, {kWhite, 1}, {0xFFCE2B37, 1}}); break;
    case 5: c.Vertical({{0xFF0055A4, 1}, {kWhite, 1}, {0xFFEF4135, 1}}); break;
    case 6: c.Horizontal({{0xFF0057B7, 1}, {0xFFFFD700, 1}}); break;
    case 7:
      c.Fill(0, 0, c.w(), c.h(), 0xFFDE2910);
      c.Disc(0.2, 0.3, 0.14, 0xFFFFDE00);
      break;
    case 8:
      c.Fill(0, 0, c.w(), c.h(), 0xFFE30A17);
      c.Disc(0.4, 0.5, 0.3, kWhite);
      c.Disc(0.46, 0.5, 0.24, 0xFFE30A17);
      c.Disc(0.66, 0.5, 0.08, kWhite);
      break;
    case 9:
      c.Horizontal({{kWhite, 1}, {0xFFD7141A, 1}});
      c.Triangle(0.5, 0xFF11457E);
      break;
    case 10: {
      for (int i = 0; i < 9; ++i) c.Fill(0, c.h() * i / 9, c.w(), c.h() * (i + 1) / 9, i % 2 ? kWhite : 0xFF0D5EAF);
      const int cw = c.w() * 10 / 27, ch = c.h() * 5 / 9;
      c.Fill(0, 0, cw, ch, 0xFF0D5EAF);
      const int t = std::max(1, ch / 5);
      c.Fill(cw / 2 - t / 2, 0, cw / 2 - t / 2 + t, ch, kWhite);
      c.Fill(0, ch / 2 - t / 2, cw, ch / 2 - t / 2 + t, kWhite);
      break;
    }
    case 11:
      c.Horizontal({{kWhite, 1}, {0xFF005DA4, 1}, {0xFFED1C24, 1}});
      c.Fill(c.w() / 4, c.h() / 6, c.w() / 4 + std::max(2, c.w() / 6), c.h() / 2, 0xFF005DA4);
      break;
    case 12: c.Horizontal({{0xFFCD2A3E, 1}, {kWhite, 1}, {0xFF436F4D, 1}}); break;
    case 13:
      c.Vertical({{0xFF006600, 2}, {0xFFFF0000, 3}});
      c.Disc(0.4, 0.5, 0.22, kGold);
      break;
    case 14:
      c.Fill(0, 0, c.w(), c.h(), 0xFF009C3B);
      c.Diamond(0.08, 0xFFFFDF00);
      c.Disc(0.5, 0.5, 0.22, 0xFF002776);
      break;
    case 15:
      c.Fill(0, 0, c.w(), c.h(), kWhite);
      c.Fill(0, c.h() / 8, c.w(), c.h() / 8 + std::max(1, c.h() / 7), 0xFF0038B8);
      c.Fill(0, c.h() - c.h() / 8 - std::max(1, c.h() / 7), c.w(), c.h() - c.h() / 8, 0xFF0038B8);
      c.Diamond(0.34, 0xFF0038B8);
      c.Diamond(0.4, kWhite);
      break;
    case 16: c.Horizontal({{0xFFA51931, 1}, {kWhite, 1}, {0xFF2D2A4A, 2}, {kWhite, 1}, {0xFFA51931, 1}}); break;
    case 17: c.Horizontal({{0xFFAE1C28, 1}, {kWhite, 1}, {0xFF21468B, 1}}); break;
    case 18:
      c.Fill(0, 0, c.w(), c.h(), 0xFF006AA7);
      c.Cross(0.375, 0.2, 0xFFFECC00);
      break;
    case 19: c.Horizontal({{0xFF239F40, 1}, {kWhite, 1}, {0xFFDA0000, 1}}); break;
    case 20:
      c.Fill(0, 0, c.w(), c.h(), kWhite);
      c.Cross(0.375, 0.27, 0xFF002F6C);
      break;
    case 21:
      c.Horizontal({{0xFFFF9933, 1}, {kWhite, 1}, {0xFF138808, 1}});
      c.Disc(0.5, 0.5, 0.12, 0xFF000080);
      break;
    case 22: c.Horizontal({{kWhite, 1}, {0xFFDC143C, 1}}); break;
    default:
      c.Fill(0, 0, c.w(), c.h(), kNavy);
      c.Saltire(0.2, kWhite);
      c.Saltire(0.07, 0xFFC8102E);
      c.Cross(0.5, 0.33, kWhite);
      c.Cross(0.5, 0.2, 0xFFC8102E);
      break;
  }
}

}  // namespace

std::vector<uint32_t> PaintFlag(int index, int width, int height) {
  if (width <= 0 || height <= 0) return {};
  Canvas c(width, height);
  Paint(c, index >= 0 && index < kFlagCount ? index : 0);
  c.Frame(0xFF505050);
  return c.Take();
}

}  // namespace ek
