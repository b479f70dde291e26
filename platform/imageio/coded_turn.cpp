#include "platform/imageio/coded_turn.h"

#include <jerror.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "platform/imageio/jpeg_errors.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace platform {

namespace {

// The result's rows this many at a time: each source row is then read in runs of this
// many blocks rather than one, which is what makes a quarter turn cheap.
constexpr JDIMENSION kBand = 16;

// One component of the result, standing in for libjpeg's virtual array of it: the encoder
// asks for its rows in order, and gets them from `band`, made from the source's rows.
struct TurnedRows {
  const std::vector<JBLOCKROW>* source = nullptr;
  JDIMENSION source_width = 0;  // in blocks
  JDIMENSION width = 0, height = 0;
  BlockTurn turn;
  std::vector<JCOEF> band;      // kBand rows of `width` blocks
  std::vector<JBLOCKROW> rows;  // into band
  JDIMENSION band_start = 0, band_rows = 0;
};

// One block of the result from its source block: transposed when the turn goes across,
// and the odd frequencies of a mirrored direction negated (a cosine of odd frequency
// changes sign when read backwards; one of even frequency does not).
void TurnBlock(const JCOEF* from, JCOEF* to, const BlockTurn& turn) {
  // In the result's terms: its odd columns negated, or its odd rows.
  const bool odd_columns = turn.across ? turn.mirror_y : turn.mirror_x;
  const bool odd_rows = turn.across ? turn.mirror_x : turn.mirror_y;
#if defined(__SSE2__)
  const auto* in = reinterpret_cast<const __m128i*>(from);
  __m128i r[8];
  for (int k = 0; k < 8; ++k) r[k] = _mm_loadu_si128(in + k);
  if (turn.across) {
    const __m128i a0 = _mm_unpacklo_epi16(r[0], r[1]), a1 = _mm_unpackhi_epi16(r[0], r[1]);
    const __m128i a2 = _mm_unpacklo_epi16(r[2], r[3]), a3 = _mm_unpackhi_epi16(r[2], r[3]);
    const __m128i a4 = _mm_unpacklo_epi16(r[4], r[5]), a5 = _mm_unpackhi_epi16(r[4], r[5]);
    const __m128i a6 = _mm_unpacklo_epi16(r[6], r[7]), a7 = _mm_unpackhi_epi16(r[6], r[7]);
    const __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
    const __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
    const __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
    const __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
    r[0] = _mm_unpacklo_epi64(b0, b4), r[1] = _mm_unpackhi_epi64(b0, b4);
    r[2] = _mm_unpacklo_epi64(b1, b5), r[3] = _mm_unpackhi_epi64(b1, b5);
    r[4] = _mm_unpacklo_epi64(b2, b6), r[5] = _mm_unpackhi_epi64(b2, b6);
    r[6] = _mm_unpacklo_epi64(b3, b7), r[7] = _mm_unpackhi_epi64(b3, b7);
  }
  // x negated where the mask is all ones: (x ^ m) - m.
  const __m128i columns =
      odd_columns ? _mm_set_epi16(-1, 0, -1, 0, -1, 0, -1, 0) : _mm_setzero_si128();
  const __m128i whole = odd_rows ? _mm_set1_epi16(-1) : _mm_setzero_si128();
  auto* out = reinterpret_cast<__m128i*>(to);
  for (int k = 0; k < 8; ++k) {
    const __m128i mask = (k & 1) != 0 ? _mm_xor_si128(columns, whole) : columns;
    _mm_storeu_si128(out + k, _mm_sub_epi16(_mm_xor_si128(r[k], mask), mask));
  }
#else
  for (int v = 0; v < 8; ++v) {
    for (int u = 0; u < 8; ++u) {
      const JCOEF c = turn.across ? from[u * 8 + v] : from[v * 8 + u];
      const bool negated = (odd_columns && (u & 1) != 0) != (odd_rows && (v & 1) != 0);
      to[v * 8 + u] = static_cast<JCOEF>(negated ? -c : c);
    }
  }
#endif
}

// Makes the band of rows from `start`. Invariant: the result's block (x, y) is the source's
// block at (y, x) when the turn goes across, (x, y) otherwise, each counted from the far
// edge in a mirrored direction; the loops run along the source's rows, so that its blocks
// are read in the order they lie in memory.
void MakeBand(TurnedRows& t, JDIMENSION start) {
  t.band_start = start;
  t.band_rows = std::min(kBand, t.height - start);
  const JDIMENSION source_height = static_cast<JDIMENSION>(t.source->size());
  const auto put = [&](JDIMENSION x, JDIMENSION y) {
    JDIMENSION sx = t.turn.across ? y : x, sy = t.turn.across ? x : y;
    if (t.turn.mirror_x) sx = t.source_width - 1 - sx;
    if (t.turn.mirror_y) sy = source_height - 1 - sy;
    TurnBlock((*t.source)[sy][sx], t.rows[y - start][x], t.turn);
  };
  if (t.turn.across) {
    for (JDIMENSION x = 0; x < t.width; ++x) {
      for (JDIMENSION y = start; y < start + t.band_rows; ++y) put(x, y);
    }
  } else {
    for (JDIMENSION y = start; y < start + t.band_rows; ++y) {
      for (JDIMENSION x = 0; x < t.width; ++x) put(x, y);
    }
  }
}

// In place of the memory manager's access_virt_barray for the result's components.
extern "C" JBLOCKARRAY AccessTurned(j_common_ptr info, jvirt_barray_ptr array, JDIMENSION start,
                                    JDIMENSION count, boolean) {
  auto& t = *reinterpret_cast<TurnedRows*>(array);
  if (count > kBand || start + count > t.height) ERREXIT(info, JERR_BAD_VIRTUAL_ACCESS);
  if (t.band_rows == 0 || start < t.band_start || start + count > t.band_start + t.band_rows) {
    MakeBand(t, start);
  }
  return t.rows.data() + (start - t.band_start);
}

// What lives across libjpeg's jumps, freed whichever way the turn ends.
struct Job {
  JpegErrors errors{};
  jpeg_decompress_struct in{};
  jpeg_compress_struct out{};
  std::vector<std::vector<JBLOCKROW>> source;  // each component's rows
  std::vector<TurnedRows> turned;
  std::vector<jvirt_barray_ptr> arrays;
  unsigned char* coded = nullptr;
  unsigned long coded_size = 0;
};

bool Eligible(const jpeg_decompress_struct& in) {
  return !in.progressive_mode && !in.arith_code && in.comps_in_scan == in.num_components &&
         in.image_width % (DCTSIZE * in.max_h_samp_factor) == 0 &&
         in.image_height % (DCTSIZE * in.max_v_samp_factor) == 0;
}

void Transpose(JQUANT_TBL& table) {
  for (int i = 0; i < DCTSIZE; ++i) {
    for (int j = 0; j < i; ++j)
      std::swap(table.quantval[i * DCTSIZE + j], table.quantval[j * DCTSIZE + i]);
  }
}

// The source read and the result's parameters set from it; false when it is not eligible.
bool Prepare(Job& job, const std::vector<uint8_t>& file, BlockTurn turn) {
  jpeg_decompress_struct& in = job.in;
  jpeg_mem_src(&in, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&in, TRUE);
  if (!Eligible(in)) return false;
  jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&in);
  job.source.resize(static_cast<size_t>(in.num_components));
  for (int c = 0; c < in.num_components; ++c) {
    for (JDIMENSION y = 0; y < in.comp_info[c].height_in_blocks; ++y) {
      job.source[c].push_back((*in.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&in),
                                                            coefficients[c], y, 1, FALSE)[0]);
    }
  }
  jpeg_compress_struct& out = job.out;
  jpeg_mem_dest(&out, &job.coded, &job.coded_size);
  jpeg_copy_critical_parameters(&in, &out);
  if (turn.across) {
    std::swap(out.image_width, out.image_height);
    for (int c = 0; c < out.num_components; ++c) {
      std::swap(out.comp_info[c].h_samp_factor, out.comp_info[c].v_samp_factor);
    }
    for (JQUANT_TBL* table : out.quant_tbl_ptrs) {
      if (table != nullptr) Transpose(*table);
    }
  }
  job.turned.resize(static_cast<size_t>(in.num_components));
  for (int c = 0; c < in.num_components; ++c) {
    TurnedRows& t = job.turned[c];
    const jpeg_component_info& from = in.comp_info[c];
    t.source = &job.source[c];
    t.source_width = from.width_in_blocks;
    t.width = turn.across ? from.height_in_blocks : from.width_in_blocks;
    t.height = turn.across ? from.width_in_blocks : from.height_in_blocks;
    t.turn = turn;
    t.band.resize(static_cast<size_t>(kBand) * t.width * DCTSIZE2);
    for (JDIMENSION y = 0; y < kBand; ++y) {
      t.rows.push_back(
          reinterpret_cast<JBLOCKROW>(t.band.data() + static_cast<size_t>(y) * t.width * DCTSIZE2));
    }
    job.arrays.push_back(reinterpret_cast<jvirt_barray_ptr>(&t));
  }
  return true;
}

// Everything libjpeg can jump out of: false when the file is not eligible or fails.
bool Run(Job& job, const std::vector<uint8_t>& file, BlockTurn turn) {
  if (setjmp(job.errors.jump) != 0) return false;
  if (!Prepare(job, file, turn)) return false;
  // No virtual array of the memory manager's own is asked for in writing coefficients:
  // every access is to the result's components.
  job.out.mem->access_virt_barray = AccessTurned;
  jpeg_write_coefficients(&job.out, job.arrays.data());
  for (int c = 0; c < job.out.num_components; ++c) {
    if (job.out.comp_info[c].width_in_blocks != job.turned[c].width ||
        job.out.comp_info[c].height_in_blocks != job.turned[c].height) {
      return false;
    }
  }
  jpeg_finish_compress(&job.out);
  jpeg_finish_decompress(&job.in);
  return true;
}

}  // namespace

std::optional<std::vector<uint8_t>> TurnBlocks(const std::vector<uint8_t>& file, BlockTurn turn) {
  Job job;
  job.in.err = job.out.err = Watching(job.errors);
  jpeg_create_decompress(&job.in);
  jpeg_create_compress(&job.out);
  const bool done = Run(job, file, turn);
  jpeg_destroy_compress(&job.out);
  jpeg_destroy_decompress(&job.in);
  std::optional<std::vector<uint8_t>> result;
  if (done) result.emplace(job.coded, job.coded + job.coded_size);
  std::free(job.coded);
  return result;
}

}  // namespace platform
