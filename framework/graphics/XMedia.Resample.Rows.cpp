#include "graphics/XMedia.Resample.Rows.h"
#include "graphics/XMedia.Resample.h"
#include "graphics/XMedia.Pixels.Rows.h"
// GCC 12's AVX-512 headers draw false warnings about their own undefined
// vectors.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>
#include <algorithm>
#include <array>
#include <utility>
#include <cmath>
#include <cstring>

namespace XResampleRows {

void TTaps::From(const TXPixWeightMap& Map, Integer First, Integer Columns)
{
    Count = Columns < 0 ? Map.Size().Width - First : Columns;
    Slots = std::max(1, Map.Size().Height);
    Index.assign(size_t(Count) * Slots, 0);
    Weight.assign(size_t(Count) * Slots, 0.0f);
    Last.assign(size_t(Count), -1);
    for (Integer X = 0; X < Count; ++X) {
        const Integer M = First + X;
        const Integer Used = Map.Counts()[size_t(M)];
        for (Integer K = 0; K < Slots; ++K) {
            const size_t At = size_t(X) * Slots + K;
            if (K < Used) {
                Index[At] = Map.Rows(K)[M].Index;
                Weight[At] = Map.Rows(K)[M].Weight;
                Last[size_t(X)] = Index[At];
            } else if (Used > 0) {
                Index[At] = Map.Rows(0)[M].Index;
            }
        }
    }
}

namespace {

inline Byte ToByte(float V)
{
    return Byte(std::clamp(std::nearbyint(V), 0.0f, 255.0f));
}

// The fourth byte of each 4-byte pixel of Dest taken from From.
void CarryFourthBytes(Byte* Dest, const Byte* From, size_t Bytes)
{
    size_t B = 0;
    const __m128i Fourth = _mm_set1_epi32(int(0xFF000000u));
    for (; B + 16 <= Bytes; B += 16) {
        const __m128i D = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Dest + B));
        const __m128i F = _mm_loadu_si128(reinterpret_cast<const __m128i*>(From + B));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Dest + B),
            _mm_or_si128(_mm_andnot_si128(Fourth, D), _mm_and_si128(Fourth, F)));
    }
    for (B += 3; B < Bytes; B += 4)
        Dest[B] = From[B];
}

// --- plain --------------------------------------------------------------

void HorizontalPlain(const Byte* Source, Byte* Dest, const TTaps& T, Integer From)
{
    for (Integer X = From; X < T.Count; ++X) {
        float Acc[4] = {};
        const Integer* I = &T.Index[size_t(X) * T.Slots];
        const float* W = &T.Weight[size_t(X) * T.Slots];
        for (Integer K = 0; K < T.Slots; ++K) {
            const Byte* P = Source + size_t(I[K]) * 4;
            for (int C = 0; C < 4; ++C)
                Acc[C] = Acc[C] + W[K] * float(P[C]);
        }
        for (int C = 0; C < 4; ++C)
            Dest[size_t(X) * 4 + C] = ToByte(Acc[C]);
    }
}

void VerticalPlain(const Byte* const* Rows, const float* Weights, Integer Count, Byte* Dest, size_t From, size_t Bytes)
{
    for (size_t B = From; B < Bytes; ++B) {
        float Acc = 0;
        for (Integer K = 0; K < Count; ++K)
            Acc = Acc + Weights[K] * float(Rows[K][B]);
        Dest[B] = ToByte(Acc);
    }
}

// --- SSE2 ---------------------------------------------------------------

inline Integer Load32(const Byte* P)
{
    Integer V;
    std::memcpy(&V, P, 4);
    return V;
}

inline __m128 Load4(const Byte* P)
{
    const Integer V = Load32(P);
    const __m128i Z = _mm_setzero_si128();
    return _mm_cvtepi32_ps(_mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(V), Z), Z));
}

// cvtps rounds halves to even in the default rounding mode; the packs
// saturate to 0..255.
inline Integer Pack4(__m128 V)
{
    const __m128i I = _mm_cvtps_epi32(V);
    return _mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(I, I), _mm_setzero_si128()));
}

void HorizontalSSE2(const Byte* Source, Byte* Dest, const TTaps& T)
{
    for (Integer X = 0; X < T.Count; ++X) {
        __m128 Acc = _mm_setzero_ps();
        const Integer* I = &T.Index[size_t(X) * T.Slots];
        const float* W = &T.Weight[size_t(X) * T.Slots];
        for (Integer K = 0; K < T.Slots; ++K)
            Acc = _mm_add_ps(Acc, _mm_mul_ps(_mm_set1_ps(W[K]), Load4(Source + size_t(I[K]) * 4)));
        const Integer Out = Pack4(Acc);
        std::memcpy(Dest + size_t(X) * 4, &Out, 4);
    }
}

void VerticalSSE2(const Byte* const* Rows, const float* Weights, Integer Count, Byte* Dest, size_t B, size_t Bytes)
{
    const __m128i Z = _mm_setzero_si128();
    for (; B + 16 <= Bytes; B += 16) {
        __m128 A0 = _mm_setzero_ps(), A1 = A0, A2 = A0, A3 = A0;
        for (Integer K = 0; K < Count; ++K) {
            const __m128 W = _mm_set1_ps(Weights[K]);
            const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Rows[K] + B));
            const __m128i Lo = _mm_unpacklo_epi8(V, Z), Hi = _mm_unpackhi_epi8(V, Z);
            A0 = _mm_add_ps(A0, _mm_mul_ps(W, _mm_cvtepi32_ps(_mm_unpacklo_epi16(Lo, Z))));
            A1 = _mm_add_ps(A1, _mm_mul_ps(W, _mm_cvtepi32_ps(_mm_unpackhi_epi16(Lo, Z))));
            A2 = _mm_add_ps(A2, _mm_mul_ps(W, _mm_cvtepi32_ps(_mm_unpacklo_epi16(Hi, Z))));
            A3 = _mm_add_ps(A3, _mm_mul_ps(W, _mm_cvtepi32_ps(_mm_unpackhi_epi16(Hi, Z))));
        }
        const __m128i L = _mm_packs_epi32(_mm_cvtps_epi32(A0), _mm_cvtps_epi32(A1));
        const __m128i H = _mm_packs_epi32(_mm_cvtps_epi32(A2), _mm_cvtps_epi32(A3));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Dest + B), _mm_packus_epi16(L, H));
    }
    VerticalPlain(Rows, Weights, Count, Dest, B, Bytes);
}

// --- AVX2 ---------------------------------------------------------------

__attribute__((target("avx2"))) void HorizontalAVX2(const Byte* Source, Byte* Dest, const TTaps& T)
{
    Integer X = 0;
    // Two destination pixels a vector: lanes 0-3 the first, 4-7 the second.
    for (; X + 2 <= T.Count; X += 2) {
        __m256 Acc = _mm256_setzero_ps();
        const Integer* I0 = &T.Index[size_t(X) * T.Slots];
        const Integer* I1 = I0 + T.Slots;
        const float* W0 = &T.Weight[size_t(X) * T.Slots];
        const float* W1 = W0 + T.Slots;
        for (Integer K = 0; K < T.Slots; ++K) {
            const Integer P0 = Load32(Source + size_t(I0[K]) * 4), P1 = Load32(Source + size_t(I1[K]) * 4);
            const __m256 V = _mm256_cvtepi32_ps(
                _mm256_cvtepu8_epi32(_mm_unpacklo_epi32(_mm_cvtsi32_si128(P0), _mm_cvtsi32_si128(P1))));
            const __m256 W = _mm256_set_m128(_mm_set1_ps(W1[K]), _mm_set1_ps(W0[K]));
            Acc = _mm256_add_ps(Acc, _mm256_mul_ps(W, V));
        }
        const __m256i I = _mm256_cvtps_epi32(Acc);
        const __m128i S = _mm_packs_epi32(_mm256_castsi256_si128(I), _mm256_extracti128_si256(I, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(Dest + size_t(X) * 4), _mm_packus_epi16(S, S));
    }
    HorizontalPlain(Source, Dest, T, X);
}

__attribute__((target("avx2"))) void VerticalAVX2(const Byte* const* Rows, const float* Weights, Integer Count,
    Byte* Dest, size_t B, size_t Bytes)
{
    for (; B + 32 <= Bytes; B += 32) {
        __m256 A0 = _mm256_setzero_ps(), A1 = A0, A2 = A0, A3 = A0;
        for (Integer K = 0; K < Count; ++K) {
            const __m256 W = _mm256_set1_ps(Weights[K]);
            const Byte* R = Rows[K] + B;
            A0 = _mm256_add_ps(A0,
                _mm256_mul_ps(W,
                    _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(R))))));
            A1 = _mm256_add_ps(A1,
                _mm256_mul_ps(W,
                    _mm256_cvtepi32_ps(
                        _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(R + 8))))));
            A2 = _mm256_add_ps(A2,
                _mm256_mul_ps(W,
                    _mm256_cvtepi32_ps(
                        _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(R + 16))))));
            A3 = _mm256_add_ps(A3,
                _mm256_mul_ps(W,
                    _mm256_cvtepi32_ps(
                        _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(R + 24))))));
        }
        // packs work within 128-bit halves; the permute puts the bytes back
        // in order.
        const __m256i L = _mm256_packs_epi32(_mm256_cvtps_epi32(A0), _mm256_cvtps_epi32(A1));
        const __m256i H = _mm256_packs_epi32(_mm256_cvtps_epi32(A2), _mm256_cvtps_epi32(A3));
        const __m256i P =
            _mm256_permutevar8x32_epi32(_mm256_packus_epi16(L, H), _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(Dest + B), P);
    }
    VerticalSSE2(Rows, Weights, Count, Dest, B, Bytes);
}

// --- AVX-512 ------------------------------------------------------------

__attribute__((target("avx512f,avx512bw"))) void HorizontalAVX512(const Byte* Source, Byte* Dest, const TTaps& T)
{
    Integer X = 0;
    // Four destination pixels a vector.
    for (; X + 4 <= T.Count; X += 4) {
        __m512 Acc = _mm512_setzero_ps();
        const size_t Base = size_t(X) * T.Slots;
        const Integer* I = &T.Index[Base];
        const float* W = &T.Weight[Base];
        const Integer S = T.Slots;
        for (Integer K = 0; K < S; ++K) {
            const __m128i Px = _mm_setr_epi32(Load32(Source + size_t(I[K]) * 4), Load32(Source + size_t(I[S + K]) * 4),
                Load32(Source + size_t(I[2 * S + K]) * 4), Load32(Source + size_t(I[3 * S + K]) * 4));
            const __m512 V = _mm512_cvtepi32_ps(_mm512_cvtepu8_epi32(Px));
            const __m512 Wv = _mm512_permutexvar_ps(_mm512_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3),
                _mm512_castps128_ps512(_mm_setr_ps(W[K], W[S + K], W[2 * S + K], W[3 * S + K])));
            Acc = _mm512_add_ps(Acc, _mm512_mul_ps(Wv, V));
        }
        // Signed saturation to 16 bits, then unsigned to 8: 0..255 as in
        // the other paths.
        const __m512i I32 = _mm512_cvtps_epi32(Acc);
        const __m128i B = _mm512_cvtusepi32_epi8(_mm512_max_epi32(I32, _mm512_setzero_si512()));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Dest + size_t(X) * 4), B);
    }
    HorizontalPlain(Source, Dest, T, X);
}

__attribute__((target("avx512f,avx512bw"))) void VerticalAVX512(const Byte* const* Rows, const float* Weights,
    Integer Count, Byte* Dest, size_t B, size_t Bytes)
{
    for (; B + 64 <= Bytes; B += 64) {
        __m512 A0 = _mm512_setzero_ps(), A1 = A0, A2 = A0, A3 = A0;
        for (Integer K = 0; K < Count; ++K) {
            const __m512 W = _mm512_set1_ps(Weights[K]);
            const Byte* R = Rows[K] + B;
            A0 = _mm512_add_ps(A0,
                _mm512_mul_ps(W,
                    _mm512_cvtepi32_ps(_mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(R))))));
            A1 = _mm512_add_ps(A1,
                _mm512_mul_ps(W,
                    _mm512_cvtepi32_ps(
                        _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(R + 16))))));
            A2 = _mm512_add_ps(A2,
                _mm512_mul_ps(W,
                    _mm512_cvtepi32_ps(
                        _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(R + 32))))));
            A3 = _mm512_add_ps(A3,
                _mm512_mul_ps(W,
                    _mm512_cvtepi32_ps(
                        _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(R + 48))))));
        }
        const __m512i Z = _mm512_setzero_si512();
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Dest + B),
            _mm512_cvtusepi32_epi8(_mm512_max_epi32(_mm512_cvtps_epi32(A0), Z)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Dest + B + 16),
            _mm512_cvtusepi32_epi8(_mm512_max_epi32(_mm512_cvtps_epi32(A1), Z)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Dest + B + 32),
            _mm512_cvtusepi32_epi8(_mm512_max_epi32(_mm512_cvtps_epi32(A2), Z)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Dest + B + 48),
            _mm512_cvtusepi32_epi8(_mm512_max_epi32(_mm512_cvtps_epi32(A3), Z)));
    }
    VerticalAVX2(Rows, Weights, Count, Dest, B, Bytes);
}

// --- blocks of rows -------------------------------------------------------

// Rounded (halves to even) and clamped to 0..255, as 32-bit lanes.
__attribute__((target("avx512f,avx512bw"))) inline __m512i Byte16(__m512 A)
{
    return _mm512_min_epi32(_mm512_max_epi32(_mm512_cvtps_epi32(A), _mm512_setzero_si512()), _mm512_set1_epi32(0xFF));
}

__attribute__((target("avx2"))) inline __m256i Byte8(__m256 A)
{
    return _mm256_min_epi32(_mm256_max_epi32(_mm256_cvtps_epi32(A), _mm256_setzero_si256()), _mm256_set1_epi32(0xFF));
}

// Sixteen rows of sixteen 32-bit values turned: V[p] afterwards holds value
// p of every row.
__attribute__((target("avx512f,avx512bw"))) inline void Transpose16(__m512i* V)
{
    __m512i T[16];
    for (int I = 0; I < 8; ++I) {
        T[2 * I] = _mm512_unpacklo_epi32(V[2 * I], V[2 * I + 1]);
        T[2 * I + 1] = _mm512_unpackhi_epi32(V[2 * I], V[2 * I + 1]);
    }
    for (int I = 0; I < 4; ++I) {
        V[4 * I] = _mm512_unpacklo_epi64(T[4 * I], T[4 * I + 2]);
        V[4 * I + 1] = _mm512_unpackhi_epi64(T[4 * I], T[4 * I + 2]);
        V[4 * I + 2] = _mm512_unpacklo_epi64(T[4 * I + 1], T[4 * I + 3]);
        V[4 * I + 3] = _mm512_unpackhi_epi64(T[4 * I + 1], T[4 * I + 3]);
    }
    // V[4i + k], 128-bit lane L: rows 4i..4i+3 of value 4L + k.
    for (int K = 0; K < 4; ++K) {
        const __m512i X0 = _mm512_shuffle_i32x4(V[K], V[4 + K], _MM_SHUFFLE(2, 0, 2, 0));
        const __m512i X1 = _mm512_shuffle_i32x4(V[K], V[4 + K], _MM_SHUFFLE(3, 1, 3, 1));
        const __m512i Y0 = _mm512_shuffle_i32x4(V[8 + K], V[12 + K], _MM_SHUFFLE(2, 0, 2, 0));
        const __m512i Y1 = _mm512_shuffle_i32x4(V[8 + K], V[12 + K], _MM_SHUFFLE(3, 1, 3, 1));
        T[K] = _mm512_shuffle_i32x4(X0, Y0, _MM_SHUFFLE(2, 0, 2, 0));
        T[4 + K] = _mm512_shuffle_i32x4(X1, Y1, _MM_SHUFFLE(2, 0, 2, 0));
        T[8 + K] = _mm512_shuffle_i32x4(X0, Y0, _MM_SHUFFLE(3, 1, 3, 1));
        T[12 + K] = _mm512_shuffle_i32x4(X1, Y1, _MM_SHUFFLE(3, 1, 3, 1));
    }
    for (int I = 0; I < 16; ++I)
        V[I] = T[I];
}

// N (at most 16) pixels of a row from pixel P0 on as 4-byte pixels; a
// 3-byte pixel gets a fourth byte of 0, and lanes from N on are 0. Nothing
// past the N pixels is read.
template<int SB>
__attribute__((target("avx512f,avx512bw"))) inline __m512i LoadPixels16(const Byte* Row, Integer P0, Integer N)
{
    if constexpr (SB == 4) {
        return _mm512_maskz_loadu_epi32(__mmask16((1u << N) - 1), Row + size_t(P0) * 4);
    } else {
        // Each 128-bit lane takes the three dwords of its four pixels, then
        // the bytes move into place.
        const __m512i Spread = _mm512_setr_epi32(0, 1, 2, 0, 3, 4, 5, 0, 6, 7, 8, 0, 9, 10, 11, 0);
        const __m512i Bytes =
            _mm512_broadcast_i32x4(_mm_setr_epi8(0, 1, 2, -128, 3, 4, 5, -128, 6, 7, 8, -128, 9, 10, 11, -128));
        const __m512i V = _mm512_maskz_loadu_epi8((__mmask64(1) << (3 * N)) - 1, Row + size_t(P0) * 3);
        return _mm512_shuffle_epi8(_mm512_permutexvar_epi32(Spread, V), Bytes);
    }
}

// The horizontal pass over 16 rows at once, one row per vector lane: the
// source pixels are turned into floats first (F[P x 64 + C x 16 + R] is
// channel C of pixel P in row R), then sixteen destination pixels at a
// time are summed and turned back into rows. With Carry the fourth channel
// is not summed but taken from the last pixel read.
template<int SB, bool Carry>
__attribute__((target("avx512f,avx512bw"))) void HorizontalBlock16(const Byte* const* Sources, Byte* const* Dests,
    Integer Count, Integer SW, const TTaps& T, float* F)
{
    const __m512i Low = _mm512_set1_epi32(0xFF);
    // Lanes past Count read the last row again and are not stored.
    const Byte* Row[16];
    for (Integer R = 0; R < 16; ++R)
        Row[R] = Sources[std::min(R, Count - 1)];
    for (Integer P0 = 0; P0 < SW; P0 += 16) {
        const Integer N = std::min<Integer>(16, SW - P0);
        __m512i V[16];
        for (int R = 0; R < 16; ++R)
            V[R] = LoadPixels16<SB>(Row[R], P0, N);
        Transpose16(V);
        for (Integer P = 0; P < N; ++P) {
            const __m512i Px = V[P];
            float* Q = F + size_t(P0 + P) * 64;
            _mm512_storeu_ps(Q, _mm512_cvtepi32_ps(_mm512_and_si512(Px, Low)));
            _mm512_storeu_ps(Q + 16, _mm512_cvtepi32_ps(_mm512_and_si512(_mm512_srli_epi32(Px, 8), Low)));
            _mm512_storeu_ps(Q + 32, _mm512_cvtepi32_ps(_mm512_and_si512(_mm512_srli_epi32(Px, 16), Low)));
            if constexpr (!Carry || SB == 4)
                _mm512_storeu_ps(Q + 48, _mm512_cvtepi32_ps(_mm512_srli_epi32(Px, 24)));
        }
    }
    __m512i Done[16];
    for (Integer X0 = 0; X0 < T.Count; X0 += 16) {
        const Integer N = std::min<Integer>(16, T.Count - X0);
        for (Integer J = 0; J < 16; ++J) {
            if (J >= N) {
                Done[J] = _mm512_setzero_si512();
                continue;
            }
            const Integer X = X0 + J;
            __m512 A0 = _mm512_setzero_ps(), A1 = A0, A2 = A0, A3 = A0;
            const Integer* I = &T.Index[size_t(X) * T.Slots];
            const float* W = &T.Weight[size_t(X) * T.Slots];
            for (Integer K = 0; K < T.Slots; ++K) {
                const __m512 Wv = _mm512_set1_ps(W[K]);
                const float* Q = F + size_t(I[K]) * 64;
                A0 = _mm512_add_ps(A0, _mm512_mul_ps(Wv, _mm512_loadu_ps(Q)));
                A1 = _mm512_add_ps(A1, _mm512_mul_ps(Wv, _mm512_loadu_ps(Q + 16)));
                A2 = _mm512_add_ps(A2, _mm512_mul_ps(Wv, _mm512_loadu_ps(Q + 32)));
                if constexpr (!Carry)
                    A3 = _mm512_add_ps(A3, _mm512_mul_ps(Wv, _mm512_loadu_ps(Q + 48)));
            }
            __m512i Fourth;
            // 3-byte pixels carry a fourth byte of 0.
            if constexpr (!Carry)
                Fourth = Byte16(A3);
            else if (SB == 4 && T.Last[size_t(X)] >= 0)
                Fourth = _mm512_cvtps_epi32(_mm512_loadu_ps(F + size_t(T.Last[size_t(X)]) * 64 + 48));
            else
                Fourth = _mm512_setzero_si512();
            Done[J] = _mm512_or_si512(_mm512_or_si512(Byte16(A0), _mm512_slli_epi32(Byte16(A1), 8)),
                _mm512_or_si512(_mm512_slli_epi32(Byte16(A2), 16), _mm512_slli_epi32(Fourth, 24)));
        }
        Transpose16(Done);
        const __mmask16 M = __mmask16((1u << N) - 1);
        for (Integer R = 0; R < Count; ++R)
            _mm512_mask_storeu_epi32(Dests[R] + size_t(X0) * 4, M, Done[R]);
    }
}

// Eight rows of eight 32-bit values turned: V[p] afterwards holds value p
// of every row.
__attribute__((target("avx2"))) inline void Transpose8(__m256i* V)
{
    __m256i T[8];
    for (int I = 0; I < 4; ++I) {
        T[2 * I] = _mm256_unpacklo_epi32(V[2 * I], V[2 * I + 1]);
        T[2 * I + 1] = _mm256_unpackhi_epi32(V[2 * I], V[2 * I + 1]);
    }
    __m256i U[8];
    for (int I = 0; I < 2; ++I) {
        U[4 * I] = _mm256_unpacklo_epi64(T[4 * I], T[4 * I + 2]);
        U[4 * I + 1] = _mm256_unpackhi_epi64(T[4 * I], T[4 * I + 2]);
        U[4 * I + 2] = _mm256_unpacklo_epi64(T[4 * I + 1], T[4 * I + 3]);
        U[4 * I + 3] = _mm256_unpackhi_epi64(T[4 * I + 1], T[4 * I + 3]);
    }
    // U[4i + k], 128-bit lane L: rows 4i..4i+3 of value 4L + k.
    for (int K = 0; K < 4; ++K) {
        V[K] = _mm256_permute2x128_si256(U[K], U[4 + K], 0x20);
        V[4 + K] = _mm256_permute2x128_si256(U[K], U[4 + K], 0x31);
    }
}

// As LoadPixels16, for at most 8 pixels.
template<int SB>
__attribute__((target("avx2"))) inline __m256i LoadPixels8(const Byte* Row, Integer P0, Integer N)
{
    alignas(32) Byte Tail[32] = {};
    const Byte* S = Row + size_t(P0) * SB;
    if (N < 8) {
        std::memcpy(Tail, S, size_t(N) * SB);
        S = Tail;
    }
    if constexpr (SB == 4) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(S));
    } else {
        const __m256i Spread = _mm256_setr_epi32(0, 1, 2, 0, 3, 4, 5, 0);
        const __m256i Bytes = _mm256_setr_epi8(0, 1, 2, -128, 3, 4, 5, -128, 6, 7, 8, -128, 9, 10, 11, -128, 0, 1, 2,
            -128, 3, 4, 5, -128, 6, 7, 8, -128, 9, 10, 11, -128);
        const __m256i V =
            _mm256_maskload_epi32(reinterpret_cast<const int*>(S), _mm256_setr_epi32(-1, -1, -1, -1, -1, -1, 0, 0));
        return _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(V, Spread), Bytes);
    }
}

// HorizontalBlock16 for 8 rows in 256-bit vectors.
template<int SB, bool Carry>
__attribute__((target("avx2"))) void HorizontalBlock8(const Byte* const* Sources, Byte* const* Dests, Integer Count,
    Integer SW, const TTaps& T, float* F)
{
    const __m256i Low = _mm256_set1_epi32(0xFF);
    const Byte* Row[8];
    for (Integer R = 0; R < 8; ++R)
        Row[R] = Sources[std::min(R, Count - 1)];
    for (Integer P0 = 0; P0 < SW; P0 += 8) {
        const Integer N = std::min<Integer>(8, SW - P0);
        __m256i V[8];
        for (int R = 0; R < 8; ++R)
            V[R] = LoadPixels8<SB>(Row[R], P0, N);
        Transpose8(V);
        for (Integer P = 0; P < N; ++P) {
            const __m256i Px = V[P];
            float* Q = F + size_t(P0 + P) * 32;
            _mm256_storeu_ps(Q, _mm256_cvtepi32_ps(_mm256_and_si256(Px, Low)));
            _mm256_storeu_ps(Q + 8, _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(Px, 8), Low)));
            _mm256_storeu_ps(Q + 16, _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(Px, 16), Low)));
            if constexpr (!Carry || SB == 4)
                _mm256_storeu_ps(Q + 24, _mm256_cvtepi32_ps(_mm256_srli_epi32(Px, 24)));
        }
    }
    __m256i Done[8];
    for (Integer X0 = 0; X0 < T.Count; X0 += 8) {
        const Integer N = std::min<Integer>(8, T.Count - X0);
        for (Integer J = 0; J < 8; ++J) {
            if (J >= N) {
                Done[J] = _mm256_setzero_si256();
                continue;
            }
            const Integer X = X0 + J;
            __m256 A0 = _mm256_setzero_ps(), A1 = A0, A2 = A0, A3 = A0;
            const Integer* I = &T.Index[size_t(X) * T.Slots];
            const float* W = &T.Weight[size_t(X) * T.Slots];
            for (Integer K = 0; K < T.Slots; ++K) {
                const __m256 Wv = _mm256_set1_ps(W[K]);
                const float* Q = F + size_t(I[K]) * 32;
                A0 = _mm256_add_ps(A0, _mm256_mul_ps(Wv, _mm256_loadu_ps(Q)));
                A1 = _mm256_add_ps(A1, _mm256_mul_ps(Wv, _mm256_loadu_ps(Q + 8)));
                A2 = _mm256_add_ps(A2, _mm256_mul_ps(Wv, _mm256_loadu_ps(Q + 16)));
                if constexpr (!Carry)
                    A3 = _mm256_add_ps(A3, _mm256_mul_ps(Wv, _mm256_loadu_ps(Q + 24)));
            }
            __m256i Fourth;
            if constexpr (!Carry)
                Fourth = Byte8(A3);
            else if (SB == 4 && T.Last[size_t(X)] >= 0)
                Fourth = _mm256_cvtps_epi32(_mm256_loadu_ps(F + size_t(T.Last[size_t(X)]) * 32 + 24));
            else
                Fourth = _mm256_setzero_si256();
            Done[J] = _mm256_or_si256(_mm256_or_si256(Byte8(A0), _mm256_slli_epi32(Byte8(A1), 8)),
                _mm256_or_si256(_mm256_slli_epi32(Byte8(A2), 16), _mm256_slli_epi32(Fourth, 24)));
        }
        Transpose8(Done);
        for (Integer R = 0; R < Count; ++R) {
            if (N == 8) {
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(Dests[R] + size_t(X0) * 4), Done[R]);
            } else {
                alignas(32) Integer Pixels[8];
                _mm256_store_si256(reinterpret_cast<__m256i*>(Pixels), Done[R]);
                std::memcpy(Dests[R] + size_t(X0) * 4, Pixels, size_t(N) * 4);
            }
        }
    }
}

// The shared vertical pass works on pieces of columns: a piece of every
// union row is turned into floats once, in a buffer small enough for the
// first-level cache, and each output row then sums its own taps from there
// in a straight loop, four vectors at a time.
constexpr size_t SharedCacheBytes = 24 * 1024;

// Blocks of BlockBytes bytes per piece: as many as fit the cache for Rows
// rows, at least 1 and at most 8.
size_t PieceBlocks(Integer Rows, size_t BlockBytes)
{
    return std::clamp<size_t>(SharedCacheBytes / (size_t(Rows) * BlockBytes * sizeof(float)), 1, 8);
}

__attribute__((target("avx512f,avx512bw"))) void VerticalSharedAVX512(const Byte* const* Union, const TSharedRow* Outs,
    Integer OutCount, Integer First, Integer End, size_t& B, size_t Bytes, std::vector<float>& Scratch)
{
    const Integer Rows = End - First;
    const size_t Blocks = PieceBlocks(Rows, 64), Stride = Blocks * 64;
    Scratch.resize(size_t(Rows) * Stride);
    const __m512i Z = _mm512_setzero_si512();
    while (B + 64 <= Bytes) {
        const size_t N = std::min(Blocks, (Bytes - B) / 64);
        for (Integer T = 0; T < Rows; ++T) {
            const Byte* R = Union[First + T] + B;
            float* F = Scratch.data() + size_t(T) * Stride;
            for (size_t J = 0; J < N * 4; ++J)
                _mm512_storeu_ps(F + J * 16,
                    _mm512_cvtepi32_ps(
                        _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(R + J * 16)))));
        }
        for (Integer O = 0; O < OutCount; ++O) {
            const TSharedRow& Out = Outs[O];
            for (size_t Q = 0; Q < N; ++Q) {
                __m512 A0 = _mm512_setzero_ps(), A1 = A0, A2 = A0, A3 = A0;
                const float* F = Scratch.data() + size_t(Out.First - First) * Stride + Q * 64;
                for (Integer K = 0; K < Out.Count; ++K, F += Stride) {
                    const __m512 W = _mm512_set1_ps(Out.Weights[K]);
                    A0 = _mm512_add_ps(A0, _mm512_mul_ps(W, _mm512_loadu_ps(F)));
                    A1 = _mm512_add_ps(A1, _mm512_mul_ps(W, _mm512_loadu_ps(F + 16)));
                    A2 = _mm512_add_ps(A2, _mm512_mul_ps(W, _mm512_loadu_ps(F + 32)));
                    A3 = _mm512_add_ps(A3, _mm512_mul_ps(W, _mm512_loadu_ps(F + 48)));
                }
                Byte* D = Out.Dest + B + Q * 64;
                _mm_storeu_si128(reinterpret_cast<__m128i*>(D),
                    _mm512_cvtusepi32_epi8(_mm512_max_epi32(_mm512_cvtps_epi32(A0), Z)));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(D + 16),
                    _mm512_cvtusepi32_epi8(_mm512_max_epi32(_mm512_cvtps_epi32(A1), Z)));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(D + 32),
                    _mm512_cvtusepi32_epi8(_mm512_max_epi32(_mm512_cvtps_epi32(A2), Z)));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(D + 48),
                    _mm512_cvtusepi32_epi8(_mm512_max_epi32(_mm512_cvtps_epi32(A3), Z)));
            }
        }
        B += N * 64;
    }
}

__attribute__((target("avx2"))) void VerticalSharedAVX2(const Byte* const* Union, const TSharedRow* Outs,
    Integer OutCount, Integer First, Integer End, size_t& B, size_t Bytes, std::vector<float>& Scratch)
{
    const Integer Rows = End - First;
    const size_t Blocks = PieceBlocks(Rows, 32), Stride = Blocks * 32;
    Scratch.resize(size_t(Rows) * Stride);
    while (B + 32 <= Bytes) {
        const size_t N = std::min(Blocks, (Bytes - B) / 32);
        for (Integer T = 0; T < Rows; ++T) {
            const Byte* R = Union[First + T] + B;
            float* F = Scratch.data() + size_t(T) * Stride;
            for (size_t J = 0; J < N * 4; ++J)
                _mm256_storeu_ps(F + J * 8,
                    _mm256_cvtepi32_ps(
                        _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(R + J * 8)))));
        }
        for (Integer O = 0; O < OutCount; ++O) {
            const TSharedRow& Out = Outs[O];
            for (size_t Q = 0; Q < N; ++Q) {
                __m256 A0 = _mm256_setzero_ps(), A1 = A0, A2 = A0, A3 = A0;
                const float* F = Scratch.data() + size_t(Out.First - First) * Stride + Q * 32;
                for (Integer K = 0; K < Out.Count; ++K, F += Stride) {
                    const __m256 W = _mm256_set1_ps(Out.Weights[K]);
                    A0 = _mm256_add_ps(A0, _mm256_mul_ps(W, _mm256_loadu_ps(F)));
                    A1 = _mm256_add_ps(A1, _mm256_mul_ps(W, _mm256_loadu_ps(F + 8)));
                    A2 = _mm256_add_ps(A2, _mm256_mul_ps(W, _mm256_loadu_ps(F + 16)));
                    A3 = _mm256_add_ps(A3, _mm256_mul_ps(W, _mm256_loadu_ps(F + 24)));
                }
                // packs work within 128-bit halves; the permute puts the
                // bytes back in order.
                const __m256i L = _mm256_packs_epi32(_mm256_cvtps_epi32(A0), _mm256_cvtps_epi32(A1));
                const __m256i H = _mm256_packs_epi32(_mm256_cvtps_epi32(A2), _mm256_cvtps_epi32(A3));
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(Out.Dest + B + Q * 32),
                    _mm256_permutevar8x32_epi32(_mm256_packus_epi16(L, H), _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7)));
            }
        }
        B += N * 32;
    }
}

} // namespace

void VerticalShared(TXSimdLevel Level, const Byte* const* Union, const TSharedRow* Outs, Integer OutCount, size_t Bytes,
    std::vector<float>& Scratch)
{
    Integer First = Outs[0].First, End = 0;
    for (Integer O = 0; O < OutCount; ++O) {
        First = std::min(First, Outs[O].First);
        End = std::max(End, Outs[O].First + Outs[O].Count);
    }
    size_t B = 0;
    if (End > First) {
        if (Level >= xslAVX512)
            VerticalSharedAVX512(Union, Outs, OutCount, First, End, B, Bytes, Scratch);
        else if (Level >= xslAVX2)
            VerticalSharedAVX2(Union, Outs, OutCount, First, End, B, Bytes, Scratch);
    }
    // The rest (and the lower levels) one row at a time.
    for (Integer O = 0; O < OutCount; ++O) {
        const TSharedRow& R = Outs[O];
        if (B < Bytes) {
            if (Level >= xslSSE2)
                VerticalSSE2(Union + R.First, R.Weights, R.Count, R.Dest, B, Bytes);
            else
                VerticalPlain(Union + R.First, R.Weights, R.Count, R.Dest, B, Bytes);
        }
        if (R.CarryRow)
            CarryFourthBytes(R.Dest, R.CarryRow, Bytes);
    }
}

Integer BlockRows(TXSimdLevel Level)
{
    return Level >= xslAVX512 ? 16 : (Level >= xslAVX2 ? 8 : 1);
}

void HorizontalBlock(TXSimdLevel Level, const Byte* const* Sources, Integer SourceBytes, Byte* const* Dests,
    Integer Count, Integer SourceWidth, const TTaps& Taps, bool CarryFourth, std::vector<float>& Scratch)
{
    const Integer Lanes = BlockRows(Level);
    if (Lanes == 1 || Count < 1 || Count > Lanes) {
        std::vector<Byte> Wide(SourceBytes == 3 ? size_t(SourceWidth) * 4 : 0);
        for (Integer R = 0; R < Count; ++R) {
            const Byte* Source = Sources[R];
            if (SourceBytes == 3) {
                XPixelRows::Widen24(Level, Source, Wide.data(), SourceWidth);
                Source = Wide.data();
            }
            Horizontal(Level, Source, Dests[R], Taps, CarryFourth);
        }
        return;
    }
    Scratch.resize(size_t(SourceWidth) * 4 * size_t(Lanes));
    using TBlock = void (*)(const Byte* const*, Byte* const*, Integer, Integer, const TTaps&, float*);
    static constexpr TBlock Wide[2][2] = { { &HorizontalBlock16<3, false>, &HorizontalBlock16<3, true> },
        { &HorizontalBlock16<4, false>, &HorizontalBlock16<4, true> } };
    static constexpr TBlock Narrow[2][2] = { { &HorizontalBlock8<3, false>, &HorizontalBlock8<3, true> },
        { &HorizontalBlock8<4, false>, &HorizontalBlock8<4, true> } };
    (Lanes == 16 ? Wide : Narrow)[SourceBytes == 4][CarryFourth](Sources, Dests, Count, SourceWidth, Taps,
        Scratch.data());
}

void Horizontal(TXSimdLevel Level, const Byte* Source, Byte* Dest, const TTaps& Taps, bool CarryFourth)
{
    switch (Level) {
    case xslAVX512: HorizontalAVX512(Source, Dest, Taps); break;
    case xslAVX2: HorizontalAVX2(Source, Dest, Taps); break;
    case xslSSE2: HorizontalSSE2(Source, Dest, Taps); break;
    default: HorizontalPlain(Source, Dest, Taps, 0);
    }
    if (CarryFourth)
        for (Integer X = 0; X < Taps.Count; ++X) {
            const Integer I = Taps.Last[size_t(X)];
            Dest[size_t(X) * 4 + 3] = I >= 0 ? Source[size_t(I) * 4 + 3] : 0;
        }
}

void Vertical(TXSimdLevel Level, const Byte* const* Rows, const float* Weights, Integer Count, Byte* Dest, size_t Bytes,
    const Byte* CarryRow)
{
    switch (Level) {
    case xslAVX512: VerticalAVX512(Rows, Weights, Count, Dest, 0, Bytes); break;
    case xslAVX2: VerticalAVX2(Rows, Weights, Count, Dest, 0, Bytes); break;
    case xslSSE2: VerticalSSE2(Rows, Weights, Count, Dest, 0, Bytes); break;
    default: VerticalPlain(Rows, Weights, Count, Dest, 0, Bytes);
    }
    if (CarryRow)
        CarryFourthBytes(Dest, CarryRow, Bytes);
}

}
