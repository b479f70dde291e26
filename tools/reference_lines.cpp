#include "tools/reference_lines.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <numeric>

namespace reference_lines {

namespace {

constexpr double kStep = 2;      // pixels between points along the line
constexpr double kAcross = 0.5;  // pixels between samples across it

double Degrees(double radians) {
  return radians * 180 / std::numbers::pi;
}

class Grey {
 public:
  explicit Grey(const QImage& photo)
      : width_(photo.width()), height_(photo.height()), luma_(size_t(width_) * height_) {
    const QImage rgb = photo.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < height_; ++y) {
      const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
      for (int x = 0; x < width_; ++x) {
        luma_[size_t(y) * width_ + x] =
            float(0.299 * qRed(row[x]) + 0.587 * qGreen(row[x]) + 0.114 * qBlue(row[x]));
      }
    }
  }
  int width() const { return width_; }
  int height() const { return height_; }
  // Bilinear, at pixel centres; NaN outside.
  double At(double x, double y) const {
    if (x < 0 || y < 0 || x > width_ - 1 || y > height_ - 1) return std::nan("");
    const int ix = std::min(int(x), width_ - 2), iy = std::min(int(y), height_ - 2);
    const double fx = x - ix, fy = y - iy;
    const float* p = &luma_[size_t(iy) * width_ + ix];
    return (1 - fy) * ((1 - fx) * p[0] + fx * p[1]) +
           fy * ((1 - fx) * p[width_] + fx * p[width_ + 1]);
  }

 private:
  int width_, height_;
  std::vector<float> luma_;
};

struct Point {
  double t, s;  // along the line from its first end, and across it (pixels)
};

// Where, across the line near each point along it, the edge is steepest (or the thin line
// darkest or lightest, whichever the line is on the whole), to a fraction of a pixel.
std::vector<Point> Follow(const Grey& grey, double x0, double y0, double x1, double y1,
                          double reach, bool thin) {
  const double length = std::hypot(x1 - x0, y1 - y0);
  const double ux = (x1 - x0) / length, uy = (y1 - y0) / length, nx = -uy, ny = ux;
  const int n = int(std::lround(reach / kAcross));
  std::vector<std::vector<double>> profiles;
  std::vector<double> ts, mean(size_t(2 * n + 1), 0);
  for (double t = 0; t <= length; t += kStep) {
    std::vector<double> profile(size_t(2 * n + 1));
    bool inside = true;
    for (int k = -n; k <= n && inside; ++k) {
      double sum = 0;
      for (int a = -1; a <= 1; ++a) {  // a little along the line, against noise
        const double v =
            grey.At(x0 + (t + a) * ux + k * kAcross * nx, y0 + (t + a) * uy + k * kAcross * ny);
        inside = inside && !std::isnan(v);
        sum += v;
      }
      profile[size_t(k + n)] = sum / 3;
    }
    if (!inside) continue;
    for (size_t k = 0; k < profile.size(); ++k) mean[k] += profile[k];
    profiles.push_back(std::move(profile));
    ts.push_back(t);
  }
  if (profiles.empty()) return {};
  // The line's polarity, from all its profiles together.
  double polarity;
  if (thin) {
    const double ends = (mean.front() + mean.back()) / 2;
    const auto [lo, hi] = std::minmax_element(mean.begin() + n / 2, mean.end() - n / 2);
    polarity = (ends - *lo) > (*hi - ends) ? -1 : 1;
  } else {
    polarity = mean.back() > mean.front() ? 1 : -1;
  }
  std::vector<Point> points;
  std::vector<double> strengths;
  for (size_t i = 0; i < profiles.size(); ++i) {
    const std::vector<double>& p = profiles[i];
    std::vector<double> score(p.size(), -1e9);
    for (size_t k = 1; k + 1 < p.size(); ++k) {
      score[k] =
          thin ? polarity * (p[k] - (p.front() + p.back()) / 2) : polarity * (p[k + 1] - p[k - 1]);
    }
    const size_t best = size_t(std::max_element(score.begin(), score.end()) - score.begin());
    if (best < 2 || best + 2 >= p.size() || score[best] <= 0) continue;  // at the window's edge
    const double l = score[best - 1], c = score[best], r = score[best + 1];
    const double denom = l - 2 * c + r;
    const double offset = denom < 0 ? std::clamp(0.5 * (l - r) / denom, -0.5, 0.5) : 0;
    points.push_back({ts[i], (double(best) - n + offset) * kAcross});
    strengths.push_back(c);
  }
  // Where the edge fades (a boat, mist), the steepest place is noise.
  if (points.empty()) return points;
  std::vector<double> sorted = strengths;
  std::nth_element(sorted.begin(), sorted.begin() + long(sorted.size() / 2), sorted.end());
  const double median = sorted[sorted.size() / 2];
  std::vector<Point> kept;
  for (size_t i = 0; i < points.size(); ++i) {
    if (strengths[i] >= 0.3 * median) kept.push_back(points[i]);
  }
  return kept;
}

struct Straight {
  double a = 0, b = 0, sigma = 0, spread_t = 0;  // s = a + b t
  int points = 0;
};

// Least squares of s on t, again and again without the points far from the line.
Straight Fitted(const std::vector<Point>& points) {
  std::vector<char> keep(points.size(), 1);
  Straight f;
  for (int pass = 0; pass < 6; ++pass) {
    double n = 0, st = 0, ss = 0, stt = 0, sts = 0;
    for (size_t i = 0; i < points.size(); ++i) {
      if (!keep[i]) continue;
      n += 1, st += points[i].t, ss += points[i].s;
      stt += points[i].t * points[i].t, sts += points[i].t * points[i].s;
    }
    if (n < 8) return {};
    const double vt = stt - st * st / n;
    if (vt <= 0) return {};
    f.b = (sts - st * ss / n) / vt;
    f.a = (ss - f.b * st) / n;
    f.spread_t = vt;
    f.points = int(n);
    std::vector<double> residuals;
    double sum2 = 0;
    for (size_t i = 0; i < points.size(); ++i) {
      const double r = points[i].s - (f.a + f.b * points[i].t);
      if (keep[i]) residuals.push_back(std::abs(r)), sum2 += r * r;
    }
    f.sigma = std::sqrt(sum2 / std::max(1.0, n - 2));
    std::nth_element(residuals.begin(), residuals.begin() + long(residuals.size() / 2),
                     residuals.end());
    const double limit = std::max(0.5, 3 * 1.4826 * residuals[residuals.size() / 2]);
    for (size_t i = 0; i < points.size(); ++i) {
      keep[i] = std::abs(points[i].s - (f.a + f.b * points[i].t)) <= limit;
    }
  }
  return f;
}

// The direction in (-90, 90], clockwise (y runs down).
double Direction(double dx, double dy) {
  return std::fmod(Degrees(std::atan2(dy, dx)) + 90 + 360, 180.0) - 90;
}

// The smallest eigenvector of a symmetric 3 x 3 matrix, by Jacobi's rotations.
std::array<double, 3> Smallest(std::array<std::array<double, 3>, 3> m) {
  std::array<std::array<double, 3>, 3> v{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  for (int sweep = 0; sweep < 50; ++sweep) {
    for (int p = 0; p < 3; ++p) {
      for (int q = p + 1; q < 3; ++q) {
        if (std::abs(m[p][q]) < 1e-300) continue;
        const double theta = (m[q][q] - m[p][p]) / (2 * m[p][q]);
        const double t = (theta >= 0 ? 1 : -1) / (std::abs(theta) + std::sqrt(theta * theta + 1));
        const double c = 1 / std::sqrt(t * t + 1), s = t * c;
        for (int k = 0; k < 3; ++k) {  // m = J^T m J, v = v J
          const double mkp = m[k][p], mkq = m[k][q];
          m[k][p] = c * mkp - s * mkq, m[k][q] = s * mkp + c * mkq;
        }
        for (int k = 0; k < 3; ++k) {
          const double mpk = m[p][k], mqk = m[q][k];
          m[p][k] = c * mpk - s * mqk, m[q][k] = s * mpk + c * mqk;
        }
        for (int k = 0; k < 3; ++k) {
          const double vkp = v[k][p], vkq = v[k][q];
          v[k][p] = c * vkp - s * vkq, v[k][q] = s * vkp + c * vkq;
        }
      }
    }
  }
  int smallest = 0;
  for (int k = 1; k < 3; ++k) {
    if (m[k][k] < m[smallest][smallest]) smallest = k;
  }
  return {v[0][smallest], v[1][smallest], v[2][smallest]};
}

// The tilt read from upright lines: the direction, from the centre, of the point nearest
// to all of them (in coordinates centred on the photo and scaled by its half diagonal, so
// that a point far away, the lines nearly parallel, is as well posed as a near one).
double UprightTilt(const std::vector<Fit>& fits, int width, int height) {
  const double cx = (width - 1) / 2.0, cy = (height - 1) / 2.0,
               scale = std::hypot(width, height) / 2;
  std::array<std::array<double, 3>, 3> m{};
  for (const Fit& f : fits) {
    const double ax = (f.x0 - cx) / scale, ay = (f.y0 - cy) / scale;
    const double bx = (f.x1 - cx) / scale, by = (f.y1 - cy) / scale;
    std::array<double, 3> l = {ay - by, bx - ax, ax * by - ay * bx};  // (a, 1) x (b, 1)
    const double norm = std::hypot(l[0], l[1]);
    for (double& e : l) e /= norm;
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) m[i][j] += l[i] * l[j];
    }
  }
  std::array<double, 3> point = Smallest(m);
  // The point's direction from the centre is (x, y) whatever its distance (w).
  if (point[1] < 0) point[0] = -point[0], point[1] = -point[1];
  return Degrees(std::atan2(point[1], point[0])) - 90;
}

Fit FitOn(const Grey& grey, const Line& line) {
  double x0 = line.x0 * (grey.width() - 1), y0 = line.y0 * (grey.height() - 1);
  double x1 = line.x1 * (grey.width() - 1), y1 = line.y1 * (grey.height() - 1);
  Fit fit;
  // Wide first, for ends given a few pixels off; then close to the line found. Not wider:
  // in a picture of dense lines (a circuit board's traces) the next line is near.
  for (const double reach : {5.0, 2.5}) {
    const Straight f = Fitted(Follow(grey, x0, y0, x1, y1, reach, line.thin));
    if (f.points == 0) return {};
    const double length = std::hypot(x1 - x0, y1 - y0);
    const double ux = (x1 - x0) / length, uy = (y1 - y0) / length, nx = -uy, ny = ux;
    const double nx0 = x0 + f.a * nx, ny0 = y0 + f.a * ny;
    const double nx1 = x1 + (f.a + f.b * length) * nx, ny1 = y1 + (f.a + f.b * length) * ny;
    x0 = nx0, y0 = ny0, x1 = nx1, y1 = ny1;
    fit.points = f.points;
    fit.rms = f.sigma;
    fit.error = Degrees(f.sigma / std::sqrt(f.spread_t));
  }
  const double angle = Direction(x1 - x0, y1 - y0);
  fit.tilt = line.kind == Line::kLevel ? angle : angle > 0 ? angle - 90 : angle + 90;
  fit.x0 = x0, fit.y0 = y0, fit.x1 = x1, fit.y1 = y1;
  return fit;
}

}  // namespace

Fit FitLine(const QImage& photo, const Line& line) {
  return FitOn(Grey(photo), line);
}

Level MeasureLevel(const QImage& photo, const std::vector<Line>& lines) {
  const Grey grey(photo);
  Level level;
  std::vector<double> flat;
  std::vector<Fit> upright;
  for (const Line& line : lines) {
    const Fit fit = FitOn(grey, line);
    level.fits.push_back(fit);
    if (fit.points == 0) continue;
    if (line.kind == Line::kLevel) {
      flat.push_back(fit.tilt);
    } else {
      upright.push_back(fit);
    }
  }
  // Each reading's standard error from the lines' own scatter: of the mean for the level
  // lines, by leaving each line out in turn (the jackknife) for the upright ones.
  std::vector<double> readings, errors;
  if (flat.size() >= 2) {
    const double n = double(flat.size());
    const double mean = std::accumulate(flat.begin(), flat.end(), 0.0) / n;
    double sum2 = 0;
    for (const double t : flat) sum2 += (t - mean) * (t - mean);
    readings.push_back(mean);
    errors.push_back(std::sqrt(sum2 / (n - 1) / n));
  }
  if (upright.size() >= 3) {
    const double n = double(upright.size());
    const double tilt = UprightTilt(upright, photo.width(), photo.height());
    double sum2 = 0;
    for (size_t i = 0; i < upright.size(); ++i) {
      std::vector<Fit> others = upright;
      others.erase(others.begin() + long(i));
      const double d = UprightTilt(others, photo.width(), photo.height()) - tilt;
      sum2 += d * d;
    }
    readings.push_back(tilt);
    errors.push_back(std::sqrt((n - 1) / n * sum2));
  }
  if (readings.empty()) {
    // Too few lines to tell how far the scene's own lines stray.
    level.spread = 1;
    if (!flat.empty()) level.tilt = flat[0];
    if (flat.empty() && !upright.empty()) level.tilt = upright[0].tilt;
    return level;
  }
  level.tilt = std::accumulate(readings.begin(), readings.end(), 0.0) / double(readings.size());
  double spread = errors[0];
  if (readings.size() == 2) {
    spread = std::max({errors[0], errors[1], std::abs(readings[0] - readings[1]) / 2});
  }
  level.spread = spread;
  return level;
}

}  // namespace reference_lines
