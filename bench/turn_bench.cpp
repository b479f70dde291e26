// Turning large pictures: the whole scroll-bar event, each engine call, and peers doing
// the same work (Qt's painter, OpenCV when installed) and a memory-copy floor, so that
// one run gives the ratios. Pictures are made in memory: a gradient with noise, opaque.
// Every measurement is taken after a first turn, so buffers are warm.
//
//   build/bench/anyturn_bench --benchmark_filter='/4000/3000/30$'
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QWidget>
#include <atomic>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <utility>

#include "app/fit_view.h"
#include "app/frm_main.h"
#include "app/picture_overlay.h"
#include "platform/pixels/drawing.h"
#include "platform/pixels/evaluator.h"
#include "platform/pixels/image.h"
#include "platform/pixels/kernels.h"
#include "platform/pixels/parallel.h"
#include "platform/ui/surface_view.h"
#include "turn/mod_turn.h"
#ifdef ANYTURN_HAVE_OPENCV
#include <opencv2/imgproc.hpp>
#endif

namespace {

QImage Photo(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  std::mt19937 random(1);
  std::uniform_int_distribution<int> noise(0, 15);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) {
      const uint32_t r = (x * 240 / width + noise(random)) & 0xFF,
                     g = (y * 240 / height + noise(random)) & 0xFF;
      row[x] = 0xFF000000u | (r << 16) | (g << 8) | ((x + y) & 0xFF);
    }
  }
  return image;
}

// The started window for the picture size being measured. One at a time, as in the
// program: the engine finds its work surfaces through the main window.
std::unique_ptr<app::frm_Main>& Current() {
  static std::unique_ptr<app::frm_Main> window;
  return window;
}

app::frm_Main& Window(int width, int height) {
  static QTemporaryDir dir;
  static std::pair<int, int> size;
  std::unique_ptr<app::frm_Main>& window = Current();
  if (!window || size != std::pair{width, height}) {
    window.reset();
    const QString path = dir.path() + QString("/%1x%2.bmp").arg(width).arg(height);
    Photo(width, height).save(path, "BMP");
    window = std::make_unique<app::frm_Main>(path.toStdString());
    window->Form_Load();
    window->Show();  // as the program does: each event's DoEvents repaints what shows
    size = {width, height};
  }
  return *window;
}

// Dragging the thumb: each event one degree on from the last, back and forth between 21
// and 39 degrees, so that no event finds the picture where the one before left it.
void Drag(benchmark::State& state, app::frm_Main& form) {
  // One sweep first, so that every surface has reached its largest size.
  for (int value = 21; value <= 39; ++value) form.hsTurn.SetValue(value);
  int value = 30, step = 1;
  form.hsTurn.SetValue(value);
  const int before = form.Handlings();
  for (auto _ : state) {
    if (value + step < 21 || value + step > 39) step = -step;
    value += step;
    form.hsTurn.SetValue(value);  // raises Change, as a move of the thumb does
  }
  if (form.Handlings() - before != static_cast<int>(state.iterations())) {
    state.SkipWithError("not every move of the bar was handled");
  }
}

// Fine steps held down: each event a tenth of a degree on from the last, back and forth
// between 29 and 31 degrees, through the same handling as the bar's.
void FineDrag(benchmark::State& state, app::frm_Main& form) {
  for (int tenths = 290; tenths <= 310; ++tenths) form.SetTenths(tenths);
  int step = 1;
  const int before = form.Handlings();
  for (auto _ : state) {
    if (form.Tenths() + step < 290 || form.Tenths() + step > 310) step = -step;
    form.StepTenths(step);
  }
  if (form.Handlings() - before != static_cast<int>(state.iterations())) {
    state.SkipWithError("not every fine step was handled");
  }
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->UseRealTime()->Unit(benchmark::kMillisecond);
}

// A W x H photo (the benchmark's first two arguments) and the turn by its third, in
// degrees, that puts it whole into a tw x th target.
struct TurnedPhoto {
  platform::Bitmap source;
  platform::Affine map;
  int32_t tw, th;
};
TurnedPhoto TurnedPhotoOf(const benchmark::State& state) {
  const auto w = static_cast<int32_t>(state.range(0)), h = static_cast<int32_t>(state.range(1));
  const double r = static_cast<double>(state.range(2)) * M_PI / 180;
  const QImage photo = Photo(w, h);
  platform::Bitmap source(w, h, 0);
  const platform::PixelView pixels = source.WriteAll().pixels;
  for (int32_t y = 0; y < h; ++y) {
    std::memcpy(pixels.row(y), photo.constScanLine(y), static_cast<size_t>(w) * 4);
  }
  const double c = std::cos(r), s = std::sin(r);
  return {std::move(source),
          {c, s, -s, c, h * s, 0},
          static_cast<int32_t>(std::ceil(w * c + h * s)),
          static_cast<int32_t>(std::ceil(w * s + h * c))};
}

// The draw kernel alone, on one core, with its source in the core's own cache: what the
// bilinear loop costs when memory does not hold it up. A clear is pending before each
// draw, as in the event.
void BM_DrawInCache(benchmark::State& state) {
  const auto [source, map, tw, th] = TurnedPhotoOf(state);
  platform::Bitmap target(tw, th, 0xFF000000);
  for (auto _ : state) {
    target.Fill(0xFF000000);
    platform::DrawTransformedPixels(target, source, map);
    benchmark::DoNotOptimize(target.Read().pixels);
  }
  state.SetItemsProcessed(state.iterations() * source.width() * source.height());
}
BENCHMARK(BM_DrawInCache)->Args({320, 240, 30})->Unit(benchmark::kMicrosecond);

// The sharp turn's kernel alone, on one core: the whole target of a photo turned by the
// angle, worked out in areas of whole rows as the evaluator asks for them (a save asks
// for 32 at a time).
void BM_SharpOneCore(benchmark::State& state) {
  const auto [source, map, tw, th] = TurnedPhotoOf(state);
  platform::Bitmap target(tw, th, 0);
  const platform::PixelView out = target.WriteAll().pixels;
  const platform::ConstPixelView in = source.Read();
  for (auto _ : state) {
    const auto rows = static_cast<int32_t>(state.range(3));
    for (int32_t top = 0; top < th; top += rows) {
      platform::SharpSamples(out, in, map, {0, top, tw, std::min(th, top + rows)});
    }
    benchmark::DoNotOptimize(out.pixels);
  }
  state.SetItemsProcessed(state.iterations() * tw * th);
}
BENCHMARK(BM_SharpOneCore)
    ->Args({1024, 1024, 30, 48})
    ->Args({1024, 1024, 30, 256})
    ->Args({1024, 1024, 1, 48})
    ->Unit(benchmark::kMillisecond);

// What sharing a job over the cores costs by itself: a job big enough to be shared, of
// about a tenth of a millisecond of arithmetic on one core, so that a helper has time to
// join in. A turn shares out three or four jobs.
void BM_ShareOut(benchmark::State& state) {
  for (auto _ : state) {
    platform::ForRowBands(1024, int64_t{1} << 24, [](int32_t first, int32_t last) {
      for (int64_t i = int64_t{first} * 200; i < int64_t{last} * 200; ++i) {
        benchmark::DoNotOptimize(i);
      }
    });
  }
}
BENCHMARK(BM_ShareOut)->UseRealTime()->Unit(benchmark::kMicrosecond);

void RegisterAll() {
  const std::pair<int, int> sizes[] = {{1920, 1080}, {4000, 3000}, {6000, 4000}};
  const int angles[] = {1, 30, 45, 90, 180};
  for (const auto& [w, h] : sizes) {
    // Dragging the thumb: each event one degree on from the last, back and forth between
    // 21 and 39 degrees, so that no event finds the picture where the one before left it.
    const std::string drag = "BM_hsTurn_Drag/" + std::to_string(w) + "/" + std::to_string(h);
    Sizes(benchmark::RegisterBenchmark(
        drag.c_str(), [=](benchmark::State& state) { Drag(state, Window(w, h)); }));
    // The same with the whole turned picture shown, reduced, in a window of 1280 x 800.
    const std::string fit = "BM_hsTurn_Drag_Fit/" + std::to_string(w) + "/" + std::to_string(h);
    Sizes(benchmark::RegisterBenchmark(fit.c_str(), [=](benchmark::State& state) {
      app::frm_Main& form = Window(w, h);
      const QSize size = form.widget()->size();
      form.widget()->resize(1280, 800);
      app::ShowFitView(form, true);
      Drag(state, form);
      app::ShowFitView(form, false);
      form.widget()->resize(size);
    }));
    // Turns resampled sharply, as the program runs: while the thumb is dragged, the window
    // shows them resampled bilinearly.
    const std::string sharp_drag =
        "BM_hsTurn_Drag_Sharp/" + std::to_string(w) + "/" + std::to_string(h);
    Sizes(benchmark::RegisterBenchmark(sharp_drag.c_str(), [=](benchmark::State& state) {
      platform::SetDefaultResampling(platform::Resampling::kSharp);
      Drag(state, Window(w, h));
      platform::SetDefaultResampling(platform::Resampling::kBilinear);
    }));
    // Once the bar rests: the sharp repaint of what shows, the window at its own size (at
    // 30 degrees its top-left corner is mostly outside the picture; at 1 all of it shows).
    for (const int a : {1, 30}) {
      const std::string rest =
          "BM_SharpRest/" + std::to_string(w) + "/" + std::to_string(h) + "/" + std::to_string(a);
      Sizes(benchmark::RegisterBenchmark(rest.c_str(), [=](benchmark::State& state) {
        platform::SetDefaultResampling(platform::Resampling::kSharp);
        app::frm_Main& form = Window(w, h);
        form.hsTurn.SetValue(a + 1);
        form.hsTurn.SetValue(a);
        const uint64_t before = platform::PixelsGenerated();
        for (auto _ : state) {
          platform::SettleSurfaceViews(*form.widget());
          form.pDes.widget()->repaint();
        }
        // Pixels worked out per repaint: what shows, and what the edge repair reads of pTM.
        state.counters["pixels"] = static_cast<double>(platform::PixelsGenerated() - before) /
                                   static_cast<double>(state.iterations());
        platform::SetDefaultResampling(platform::Resampling::kBilinear);
      }));
    }
    const std::string fine = "BM_FineDrag/" + std::to_string(w) + "/" + std::to_string(h);
    Sizes(benchmark::RegisterBenchmark(
        fine.c_str(), [=](benchmark::State& state) { FineDrag(state, Window(w, h)); }));
    // The thumb dragged with the grid shown over the picture: what drawing it costs.
    const std::string grid = "BM_hsTurn_Drag_Grid/" + std::to_string(w) + "/" + std::to_string(h);
    Sizes(benchmark::RegisterBenchmark(grid.c_str(), [=](benchmark::State& state) {
      app::frm_Main& form = Window(w, h);
      auto* overlay = new app::PictureOverlay(form);
      overlay->SetGrid(true);
      Drag(state, form);
      delete overlay;
    }));
    for (const int a : angles) {
      std::string tail;
      for (const int part : {w, h, a}) tail.append(1, '/').append(std::to_string(part));
      const auto name = [&](const char* prefix) { return std::string(prefix).append(tail); };
      const auto angle = static_cast<float>(a);
      Sizes(benchmark::RegisterBenchmark(name("BM_hsTurn_Change").c_str(),
                                         [=](benchmark::State& state) {
                                           app::frm_Main& form = Window(w, h);
                                           form.hsTurn.SetValue(a);
                                           for (auto _ : state) form.hsTurn.on_change();
                                         }));
      Sizes(benchmark::RegisterBenchmark(
          name("BM_AnyAngleTurn").c_str(), [=](benchmark::State& state) {
            app::frm_Main& form = Window(w, h);
            // The turned picture may wait until it is read, and then only where it is
            // read; here all of it is, as part of the turn.
            auto turn = [&] {
              mod_Turn::AnyAngleTurn(form.pSrc, form.pDes, angle);
              benchmark::DoNotOptimize(form.pDes.Pixels().Read().pixels);
            };
            turn();
            for (auto _ : state) turn();
          }));
      Sizes(benchmark::RegisterBenchmark(name("BM_GdipTurn").c_str(), [=](benchmark::State& state) {
        app::frm_Main& form = Window(w, h);
        int32_t x = 0, y = 0;
        // The drawing may wait until its pixels are read; reading them is part of the turn.
        auto turn = [&] {
          mod_Turn::GdipTurn(form.pSrc, form.pDes, angle, x, y);
          benchmark::DoNotOptimize(form.pDes.Pixels().Read().pixels);
        };
        turn();
        for (auto _ : state) turn();
      }));
      if (a == 90 || a == 180) {
        Sizes(
            benchmark::RegisterBenchmark(name("BM_PlgTurn").c_str(), [=](benchmark::State& state) {
              app::frm_Main& form = Window(w, h);
              // A copy may also wait until its pixels are read; reading them is part of the
              // turn.
              auto turn = [&] {
                mod_Turn::PlgTurn(form, form.pSrc, form.pDes, angle);
                benchmark::DoNotOptimize(form.pDes.Pixels().Read().pixels);
              };
              turn();
              for (auto _ : state) turn();
            }));
      }
      Sizes(benchmark::RegisterBenchmark(
          name("BM_Peer_QPainter").c_str(), [=](benchmark::State& state) {
            const QImage source = Photo(w, h);
            const double r = a * M_PI / 180;
            const int tw =
                static_cast<int>(std::ceil(w * std::abs(std::cos(r)) + h * std::abs(std::sin(r))));
            const int th =
                static_cast<int>(std::ceil(w * std::abs(std::sin(r)) + h * std::abs(std::cos(r))));
            QImage target(tw, th, QImage::Format_RGB32);
            target.fill(Qt::black);
            auto turn = [&] {
              QPainter painter(&target);
              painter.setRenderHint(QPainter::SmoothPixmapTransform);
              painter.translate(tw / 2.0, th / 2.0);
              painter.rotate(a);
              painter.drawImage(QPointF(-w / 2.0, -h / 2.0), source);
            };
            turn();
            for (auto _ : state) turn();
          }));
#ifdef ANYTURN_HAVE_OPENCV
      Sizes(benchmark::RegisterBenchmark(
          name("BM_Peer_OpenCV").c_str(), [=](benchmark::State& state) {
            const QImage image = Photo(w, h);
            const cv::Mat source(h, w, CV_8UC4, const_cast<uchar*>(image.constBits()),
                                 image.bytesPerLine());
            const double r = a * M_PI / 180;
            const int tw =
                static_cast<int>(std::ceil(w * std::abs(std::cos(r)) + h * std::abs(std::sin(r))));
            const int th =
                static_cast<int>(std::ceil(w * std::abs(std::sin(r)) + h * std::abs(std::cos(r))));
            cv::Mat m = cv::getRotationMatrix2D(cv::Point2f(w / 2.0f, h / 2.0f), -a, 1.0);
            m.at<double>(0, 2) += tw / 2.0 - w / 2.0;
            m.at<double>(1, 2) += th / 2.0 - h / 2.0;
            cv::Mat target(th, tw, CV_8UC4, cv::Scalar(0, 0, 0, 255));
            cv::warpAffine(source, target, m, target.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT);
            for (auto _ : state)
              cv::warpAffine(source, target, m, target.size(), cv::INTER_LINEAR,
                             cv::BORDER_CONSTANT);
          }));
#endif
      Sizes(benchmark::RegisterBenchmark(
          name("BM_Floor_memcpy").c_str(), [=](benchmark::State& state) {
            const double r = a * M_PI / 180;
            const size_t out = static_cast<size_t>(std::ceil(w * std::abs(std::cos(r)) +
                                                             h * std::abs(std::sin(r)))) *
                               static_cast<size_t>(std::ceil(w * std::abs(std::sin(r)) +
                                                             h * std::abs(std::cos(r))));
            const size_t bytes = (static_cast<size_t>(w) * h + out) * 4;
            std::vector<char> from(bytes, 1), to(bytes, 0);
            for (auto _ : state) {
              std::memcpy(to.data(), from.data(), bytes);
              benchmark::DoNotOptimize(to.data());
            }
          }));
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  RegisterAll();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Current().reset();  // windows go before the application object does
  return 0;
}
