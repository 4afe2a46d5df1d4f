#include "graphics/XMedia.Pixels.Rows.h"
// GCC 12's AVX-512 headers draw false warnings about their own undefined
// vectors.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace XPixelRows {

namespace {

inline Byte BlendByte(Byte S, Byte D, unsigned A)
{
    return S == 255 && D == 255 ? 255 : Byte((A * S + (255 - A) * D) >> 8);
}

// --- plain --------------------------------------------------------------

void BlendPlain(const Byte* S, Byte* D, size_t From, size_t Bytes, unsigned A, TFourth Fourth)
{
    for (size_t I = From; I < Bytes; ++I) {
        if (Fourth != fbCompute && I % 4 == 3) {
            if (Fourth == fbZero)
                D[I] = 0;
            continue;
        }
        D[I] = BlendByte(S[I], D[I], A);
    }
}

void AddPlain(const Byte* S, Byte* D, size_t From, size_t Bytes, TFourth Fourth, bool Subtract)
{
    for (size_t I = From; I < Bytes; ++I) {
        if (Fourth != fbCompute && I % 4 == 3) {
            if (Fourth == fbZero)
                D[I] = 0;
            continue;
        }
        D[I] = Subtract ? (S[I] < D[I] ? Byte(D[I] - S[I]) : 0) : Byte(std::min(255, D[I] + S[I]));
    }
}

void KeyedPlain(const Byte* S, Byte* D, Integer From, Integer Pixels, Cardinal Key, unsigned A)
{
    for (Integer X = From; X < Pixels; ++X) {
        const Byte* P = S + size_t(X) * 4;
        Byte* Q = D + size_t(X) * 4;
        Cardinal V;
        std::memcpy(&V, P, 4);
        if (V == Key)
            continue;
        if (A == 255) {
            std::memcpy(Q, P, 4);
            continue;
        }
        for (int C = 0; C < 3; ++C)
            Q[C] = BlendByte(P[C], Q[C], A);
    }
}

void WeightedPlain(const Byte* const* Rows, const double* W, Integer Taps, Byte* Out, size_t From, size_t Bytes)
{
    for (size_t I = From; I < Bytes; ++I) {
        double Acc = 0;
        for (Integer T = 0; T < Taps; ++T)
            Acc = Acc + W[T] * double(Rows[T][I]);
        Out[I] = Byte(std::clamp(std::nearbyint(Acc), 0.0, 255.0));
    }
}

// Every fourth byte set in a mask: the pixels' fourth bytes.
inline __m128i FourthMask128()
{
    return _mm_set1_epi32(Integer(0xFF000000u));
}

// --- SSE2 ---------------------------------------------------------------

// One vector of 16 bytes blended; both-255 bytes end at 254 from the
// formula and get their 1 back.
inline __m128i Blend16(__m128i S, __m128i D, __m128i A, __m128i NA)
{
    const __m128i Z = _mm_setzero_si128();
    const __m128i Lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(S, Z), A),
                                          _mm_mullo_epi16(_mm_unpacklo_epi8(D, Z), NA)),
        8);
    const __m128i Hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(S, Z), A),
                                          _mm_mullo_epi16(_mm_unpackhi_epi8(D, Z), NA)),
        8);
    const __m128i Full = _mm_cmpeq_epi8(_mm_and_si128(S, D), _mm_set1_epi8(char(0xFF)));
    return _mm_or_si128(_mm_packus_epi16(Lo, Hi), Full);
}

inline __m128i Fourth128(__m128i Result, __m128i Old, TFourth Fourth)
{
    if (Fourth == fbCompute)
        return Result;
    const __m128i M = FourthMask128();
    return Fourth == fbZero ? _mm_andnot_si128(M, Result)
                            : _mm_or_si128(_mm_andnot_si128(M, Result), _mm_and_si128(M, Old));
}

void BlendSSE2(const Byte* S, Byte* D, size_t& I, size_t Bytes, unsigned A, TFourth Fourth)
{
    const __m128i AV = _mm_set1_epi16(short(A)), NV = _mm_set1_epi16(short(255 - A));
    for (; I + 16 <= Bytes; I += 16) {
        const __m128i Sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(S + I));
        const __m128i Dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(D + I));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(D + I), Fourth128(Blend16(Sv, Dv, AV, NV), Dv, Fourth));
    }
}

void AddSSE2(const Byte* S, Byte* D, size_t& I, size_t Bytes, TFourth Fourth, bool Subtract)
{
    for (; I + 16 <= Bytes; I += 16) {
        const __m128i Sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(S + I));
        const __m128i Dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(D + I));
        const __m128i R = Subtract ? _mm_subs_epu8(Dv, Sv) : _mm_adds_epu8(Dv, Sv);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(D + I), Fourth128(R, Dv, Fourth));
    }
}

void KeyedSSE2(const Byte* S, Byte* D, Integer& X, Integer Pixels, Cardinal Key, unsigned A)
{
    const __m128i K = _mm_set1_epi32(Integer(Key));
    const __m128i AV = _mm_set1_epi16(short(A)), NV = _mm_set1_epi16(short(255 - A));
    for (; X + 4 <= Pixels; X += 4) {
        const __m128i Sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(S + size_t(X) * 4));
        const __m128i Dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(D + size_t(X) * 4));
        const __m128i Skip = _mm_cmpeq_epi32(Sv, K);
        const __m128i New = A == 255 ? Sv : Fourth128(Blend16(Sv, Dv, AV, NV), Dv, fbKeep);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(D + size_t(X) * 4),
            _mm_or_si128(_mm_and_si128(Skip, Dv), _mm_andnot_si128(Skip, New)));
    }
}

void WeightedSSE2(const Byte* const* Rows, const double* W, Integer Taps, Byte* Out, size_t& I, size_t Bytes)
{
    const __m128i Z = _mm_setzero_si128();
    for (; I + 4 <= Bytes; I += 4) {
        __m128d A0 = _mm_setzero_pd(), A1 = A0;
        for (Integer T = 0; T < Taps; ++T) {
            Integer V;
            std::memcpy(&V, Rows[T] + I, 4);
            const __m128i W32 = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(V), Z), Z);
            const __m128d Wt = _mm_set1_pd(W[T]);
            A0 = _mm_add_pd(A0, _mm_mul_pd(Wt, _mm_cvtepi32_pd(W32)));
            A1 = _mm_add_pd(A1, _mm_mul_pd(Wt, _mm_cvtepi32_pd(_mm_srli_si128(W32, 8))));
        }
        const __m128i R = _mm_unpacklo_epi64(_mm_cvtpd_epi32(A0), _mm_cvtpd_epi32(A1));
        const Integer P = _mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(R, R), Z));
        std::memcpy(Out + I, &P, 4);
    }
}

// --- AVX2 ---------------------------------------------------------------

__attribute__((target("avx2"))) inline __m256i Blend32(__m256i S, __m256i D, __m256i A, __m256i NA)
{
    const __m256i Z = _mm256_setzero_si256();
    const __m256i Lo = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(S, Z), A),
                                             _mm256_mullo_epi16(_mm256_unpacklo_epi8(D, Z), NA)),
        8);
    const __m256i Hi = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(S, Z), A),
                                             _mm256_mullo_epi16(_mm256_unpackhi_epi8(D, Z), NA)),
        8);
    const __m256i Full = _mm256_cmpeq_epi8(_mm256_and_si256(S, D), _mm256_set1_epi8(char(0xFF)));
    return _mm256_or_si256(_mm256_packus_epi16(Lo, Hi), Full);
}

__attribute__((target("avx2"))) inline __m256i Fourth256(__m256i Result, __m256i Old, TFourth Fourth)
{
    if (Fourth == fbCompute)
        return Result;
    const __m256i M = _mm256_set1_epi32(Integer(0xFF000000u));
    return Fourth == fbZero ? _mm256_andnot_si256(M, Result) : _mm256_blendv_epi8(Result, Old, M);
}

__attribute__((target("avx2"))) void BlendAVX2(const Byte* S, Byte* D, size_t& I, size_t Bytes, unsigned A,
    TFourth Fourth)
{
    const __m256i AV = _mm256_set1_epi16(short(A)), NV = _mm256_set1_epi16(short(255 - A));
    for (; I + 32 <= Bytes; I += 32) {
        const __m256i Sv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(S + I));
        const __m256i Dv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(D + I));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(D + I), Fourth256(Blend32(Sv, Dv, AV, NV), Dv, Fourth));
    }
}

__attribute__((target("avx2"))) void AddAVX2(const Byte* S, Byte* D, size_t& I, size_t Bytes, TFourth Fourth,
    bool Subtract)
{
    for (; I + 32 <= Bytes; I += 32) {
        const __m256i Sv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(S + I));
        const __m256i Dv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(D + I));
        const __m256i R = Subtract ? _mm256_subs_epu8(Dv, Sv) : _mm256_adds_epu8(Dv, Sv);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(D + I), Fourth256(R, Dv, Fourth));
    }
}

__attribute__((target("avx2"))) void KeyedAVX2(const Byte* S, Byte* D, Integer& X, Integer Pixels, Cardinal Key,
    unsigned A)
{
    const __m256i K = _mm256_set1_epi32(Integer(Key));
    const __m256i AV = _mm256_set1_epi16(short(A)), NV = _mm256_set1_epi16(short(255 - A));
    for (; X + 8 <= Pixels; X += 8) {
        const __m256i Sv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(S + size_t(X) * 4));
        const __m256i Dv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(D + size_t(X) * 4));
        const __m256i Skip = _mm256_cmpeq_epi32(Sv, K);
        const __m256i New = A == 255 ? Sv : Fourth256(Blend32(Sv, Dv, AV, NV), Dv, fbKeep);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(D + size_t(X) * 4), _mm256_blendv_epi8(New, Dv, Skip));
    }
}

__attribute__((target("avx2"))) void WeightedAVX2(const Byte* const* Rows, const double* W, Integer Taps, Byte* Out,
    size_t& I, size_t Bytes)
{
    for (; I + 8 <= Bytes; I += 8) {
        __m256d A0 = _mm256_setzero_pd(), A1 = A0;
        for (Integer T = 0; T < Taps; ++T) {
            const __m256i V = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(Rows[T] + I)));
            const __m256d Wt = _mm256_set1_pd(W[T]);
            A0 = _mm256_add_pd(A0, _mm256_mul_pd(Wt, _mm256_cvtepi32_pd(_mm256_castsi256_si128(V))));
            A1 = _mm256_add_pd(A1, _mm256_mul_pd(Wt, _mm256_cvtepi32_pd(_mm256_extracti128_si256(V, 1))));
        }
        const __m128i R = _mm_packs_epi32(_mm256_cvtpd_epi32(A0), _mm256_cvtpd_epi32(A1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(Out + I), _mm_packus_epi16(R, R));
    }
}

// --- AVX-512 ------------------------------------------------------------

__attribute__((target("avx512f,avx512bw"))) inline __m512i Blend64(__m512i S, __m512i D, __m512i A, __m512i NA)
{
    const __m512i Z = _mm512_setzero_si512();
    const __m512i Lo = _mm512_srli_epi16(_mm512_add_epi16(_mm512_mullo_epi16(_mm512_unpacklo_epi8(S, Z), A),
                                             _mm512_mullo_epi16(_mm512_unpacklo_epi8(D, Z), NA)),
        8);
    const __m512i Hi = _mm512_srli_epi16(_mm512_add_epi16(_mm512_mullo_epi16(_mm512_unpackhi_epi8(S, Z), A),
                                             _mm512_mullo_epi16(_mm512_unpackhi_epi8(D, Z), NA)),
        8);
    const __mmask64 Full = _mm512_cmpeq_epi8_mask(_mm512_and_si512(S, D), _mm512_set1_epi8(char(0xFF)));
    return _mm512_mask_blend_epi8(Full, _mm512_packus_epi16(Lo, Hi), _mm512_set1_epi8(char(0xFF)));
}

constexpr __mmask64 FourthBytes = 0x8888888888888888ull;

__attribute__((target("avx512f,avx512bw"))) inline __m512i Fourth512(__m512i Result, __m512i Old, TFourth Fourth)
{
    if (Fourth == fbCompute)
        return Result;
    return _mm512_mask_blend_epi8(FourthBytes, Result, Fourth == fbZero ? _mm512_setzero_si512() : Old);
}

__attribute__((target("avx512f,avx512bw"))) void BlendAVX512(const Byte* S, Byte* D, size_t& I, size_t Bytes,
    unsigned A, TFourth Fourth)
{
    const __m512i AV = _mm512_set1_epi16(short(A)), NV = _mm512_set1_epi16(short(255 - A));
    for (; I + 64 <= Bytes; I += 64) {
        const __m512i Sv = _mm512_loadu_si512(S + I);
        const __m512i Dv = _mm512_loadu_si512(D + I);
        _mm512_storeu_si512(D + I, Fourth512(Blend64(Sv, Dv, AV, NV), Dv, Fourth));
    }
}

__attribute__((target("avx512f,avx512bw"))) void AddAVX512(const Byte* S, Byte* D, size_t& I, size_t Bytes,
    TFourth Fourth, bool Subtract)
{
    for (; I + 64 <= Bytes; I += 64) {
        const __m512i Sv = _mm512_loadu_si512(S + I);
        const __m512i Dv = _mm512_loadu_si512(D + I);
        const __m512i R = Subtract ? _mm512_subs_epu8(Dv, Sv) : _mm512_adds_epu8(Dv, Sv);
        _mm512_storeu_si512(D + I, Fourth512(R, Dv, Fourth));
    }
}

__attribute__((target("avx512f,avx512bw"))) void KeyedAVX512(const Byte* S, Byte* D, Integer& X, Integer Pixels,
    Cardinal Key, unsigned A)
{
    const __m512i K = _mm512_set1_epi32(Integer(Key));
    const __m512i AV = _mm512_set1_epi16(short(A)), NV = _mm512_set1_epi16(short(255 - A));
    for (; X + 16 <= Pixels; X += 16) {
        const __m512i Sv = _mm512_loadu_si512(S + size_t(X) * 4);
        const __m512i Dv = _mm512_loadu_si512(D + size_t(X) * 4);
        const __mmask16 Take = _mm512_cmpneq_epi32_mask(Sv, K);
        const __m512i New = A == 255 ? Sv : Fourth512(Blend64(Sv, Dv, AV, NV), Dv, fbKeep);
        _mm512_storeu_si512(D + size_t(X) * 4, _mm512_mask_blend_epi32(Take, Dv, New));
    }
}

__attribute__((target("avx512f,avx512bw"))) void WeightedAVX512(const Byte* const* Rows, const double* W, Integer Taps,
    Byte* Out, size_t& I, size_t Bytes)
{
    for (; I + 16 <= Bytes; I += 16) {
        __m512d A0 = _mm512_setzero_pd(), A1 = A0;
        for (Integer T = 0; T < Taps; ++T) {
            const __m512i V = _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Rows[T] + I)));
            const __m512d Wt = _mm512_set1_pd(W[T]);
            A0 = _mm512_add_pd(A0, _mm512_mul_pd(Wt, _mm512_cvtepi32_pd(_mm512_castsi512_si256(V))));
            A1 = _mm512_add_pd(A1, _mm512_mul_pd(Wt, _mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(V, 1))));
        }
        const __m512i R = _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvtpd_epi32(A0)), _mm512_cvtpd_epi32(A1), 1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + I),
            _mm512_cvtusepi32_epi8(_mm512_max_epi32(R, _mm512_setzero_si512())));
    }
}

__attribute__((target("avx512f,avx512bw"))) void WeightedSharedAVX512(const Byte* const* Rows, const double* W,
    Integer Taps, Byte* const* Outs, Integer Count, size_t& I, size_t Bytes)
{
    const Integer N = Count + Taps - 1;
    for (; I + 16 <= Bytes; I += 16) {
        __m512d Lo[8], Hi[8];
        for (Integer O = 0; O < Count; ++O)
            Lo[O] = Hi[O] = _mm512_setzero_pd();
        for (Integer T = 0; T < N; ++T) {
            const __m512i V = _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Rows[T] + I)));
            const __m512d VLo = _mm512_cvtepi32_pd(_mm512_castsi512_si256(V));
            const __m512d VHi = _mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(V, 1));
            // Output o takes row T with weight T - (Count - 1 - o).
            const Integer First = std::max<Integer>(0, Count - 1 - T),
                          Last = std::min<Integer>(Count - 1, Count - 1 - T + Taps - 1);
            for (Integer O = First; O <= Last; ++O) {
                const __m512d Wt = _mm512_set1_pd(W[T - (Count - 1 - O)]);
                Lo[O] = _mm512_add_pd(Lo[O], _mm512_mul_pd(Wt, VLo));
                Hi[O] = _mm512_add_pd(Hi[O], _mm512_mul_pd(Wt, VHi));
            }
        }
        for (Integer O = 0; O < Count; ++O) {
            const __m512i R =
                _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvtpd_epi32(Lo[O])), _mm512_cvtpd_epi32(Hi[O]), 1);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(Outs[O] + I),
                _mm512_cvtusepi32_epi8(_mm512_max_epi32(R, _mm512_setzero_si512())));
        }
    }
}

__attribute__((target("avx2"))) void WeightedSharedAVX2(const Byte* const* Rows, const double* W, Integer Taps,
    Byte* const* Outs, Integer Count, size_t& I, size_t Bytes)
{
    const Integer N = Count + Taps - 1;
    for (; I + 8 <= Bytes; I += 8) {
        __m256d Lo[8], Hi[8];
        for (Integer O = 0; O < Count; ++O)
            Lo[O] = Hi[O] = _mm256_setzero_pd();
        for (Integer T = 0; T < N; ++T) {
            const __m256i V = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(Rows[T] + I)));
            const __m256d VLo = _mm256_cvtepi32_pd(_mm256_castsi256_si128(V));
            const __m256d VHi = _mm256_cvtepi32_pd(_mm256_extracti128_si256(V, 1));
            const Integer First = std::max<Integer>(0, Count - 1 - T),
                          Last = std::min<Integer>(Count - 1, Count - 1 - T + Taps - 1);
            for (Integer O = First; O <= Last; ++O) {
                const __m256d Wt = _mm256_set1_pd(W[T - (Count - 1 - O)]);
                Lo[O] = _mm256_add_pd(Lo[O], _mm256_mul_pd(Wt, VLo));
                Hi[O] = _mm256_add_pd(Hi[O], _mm256_mul_pd(Wt, VHi));
            }
        }
        for (Integer O = 0; O < Count; ++O) {
            const __m128i R = _mm_packs_epi32(_mm256_cvtpd_epi32(Lo[O]), _mm256_cvtpd_epi32(Hi[O]));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(Outs[O] + I), _mm_packus_epi16(R, R));
        }
    }
}

__attribute__((target("avx512f,avx512bw"))) void Widen24AVX512(const Byte* S, Byte* D, Integer& X, Integer Count)
{
    // Twelve dwords hold sixteen pixels; each 128-bit lane takes the three
    // dwords of its four pixels, then the bytes move into place.
    const __m512i Spread = _mm512_setr_epi32(0, 1, 2, 0, 3, 4, 5, 0, 6, 7, 8, 0, 9, 10, 11, 0);
    const __m512i Bytes =
        _mm512_broadcast_i32x4(_mm_setr_epi8(0, 1, 2, -128, 3, 4, 5, -128, 6, 7, 8, -128, 9, 10, 11, -128));
    for (; X + 16 <= Count; X += 16) {
        const __m512i V = _mm512_maskz_loadu_epi32(0x0FFF, S + size_t(X) * 3);
        _mm512_storeu_si512(D + size_t(X) * 4, _mm512_shuffle_epi8(_mm512_permutexvar_epi32(Spread, V), Bytes));
    }
}

__attribute__((target("avx2"))) void Widen24AVX2(const Byte* S, Byte* D, Integer& X, Integer Count)
{
    const __m256i Spread = _mm256_setr_epi32(0, 1, 2, 0, 3, 4, 5, 0);
    const __m256i Bytes = _mm256_setr_epi8(0, 1, 2, -128, 3, 4, 5, -128, 6, 7, 8, -128, 9, 10, 11, -128, 0, 1, 2, -128,
        3, 4, 5, -128, 6, 7, 8, -128, 9, 10, 11, -128);
    const __m256i Six = _mm256_setr_epi32(-1, -1, -1, -1, -1, -1, 0, 0);
    for (; X + 8 <= Count; X += 8) {
        const __m256i V = _mm256_maskload_epi32(reinterpret_cast<const int*>(S + size_t(X) * 3), Six);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(D + size_t(X) * 4),
            _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(V, Spread), Bytes));
    }
}

// Eight output vectors of two pixels; load m (at byte 4m of the block)
// serves output j with the offset i = 2j + R - m, taken from m high to low
// so that every output sums its offsets from -R up.
__attribute__((target("avx512f,avx512bw"))) void BlurRow4AVX512(const double* P, const double* W, Integer R, Byte* Out,
    size_t& K, size_t Bytes)
{
    const __m512i Z = _mm512_setzero_si512();
    for (; K + 64 <= Bytes; K += 64) {
        __m512d Acc[8];
#pragma GCC unroll 8
        for (int J = 0; J < 8; ++J)
            Acc[J] = _mm512_setzero_pd();
        for (Integer M = 14 + 2 * R; M >= 0; --M) {
            const __m512d V = _mm512_loadu_pd(P + K + size_t(M) * 4);
#pragma GCC unroll 8
            for (int J = 0; J < 8; ++J)
                if (M >= 2 * J && M <= 2 * J + 2 * R)
                    Acc[J] = _mm512_add_pd(Acc[J], _mm512_mul_pd(_mm512_set1_pd(W[2 * J + 2 * R - M]), V));
        }
#pragma GCC unroll 8
        for (int J = 0; J < 8; ++J) {
            const __m256i I = _mm512_cvtpd_epi32(Acc[J]);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(Out + K + 8 * J),
                _mm512_cvtusepi32_epi8(_mm512_max_epi32(_mm512_zextsi256_si512(I), Z)));
        }
    }
}

__attribute__((target("avx2"))) void BlurRow4AVX2(const double* P, const double* W, Integer R, Byte* Out, size_t& K,
    size_t Bytes)
{
    for (; K + 32 <= Bytes; K += 32) {
        __m256d Acc[8];
#pragma GCC unroll 8
        for (int J = 0; J < 8; ++J)
            Acc[J] = _mm256_setzero_pd();
        for (Integer M = 7 + 2 * R; M >= 0; --M) {
            const __m256d V = _mm256_loadu_pd(P + K + size_t(M) * 4);
#pragma GCC unroll 8
            for (int J = 0; J < 8; ++J)
                if (M >= J && M <= J + 2 * R)
                    Acc[J] = _mm256_add_pd(Acc[J], _mm256_mul_pd(_mm256_set1_pd(W[J + 2 * R - M]), V));
        }
#pragma GCC unroll 8
        for (int J = 0; J < 8; ++J) {
            const __m128i I = _mm256_cvtpd_epi32(Acc[J]);
            const Integer B = _mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(I, I), _mm_setzero_si128()));
            std::memcpy(Out + K + 4 * J, &B, 4);
        }
    }
}

__attribute__((target("avx2"))) void DoublesAVX2(const Byte* S, double* D, size_t& I, size_t Count)
{
    for (; I + 8 <= Count; I += 8) {
        const __m256i V = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(S + I)));
        _mm256_storeu_pd(D + I, _mm256_cvtepi32_pd(_mm256_castsi256_si128(V)));
        _mm256_storeu_pd(D + I + 4, _mm256_cvtepi32_pd(_mm256_extracti128_si256(V, 1)));
    }
}

} // namespace

bool BlurRow4(TXSimdLevel Level, const double* Padded, const double* Weights, Integer R, Byte* Out, size_t Bytes)
{
    if (Level < xslAVX2)
        return false;
    size_t K = 0;
    if (Level >= xslAVX512)
        BlurRow4AVX512(Padded, Weights, R, Out, K, Bytes);
    BlurRow4AVX2(Padded, Weights, R, Out, K, Bytes);
    for (; K < Bytes; ++K) {
        double Acc = 0;
        for (Integer I = -R; I <= R; ++I)
            Acc = Acc + Weights[I + R] * Padded[K + size_t(R - I) * 4];
        Out[K] = Byte(std::clamp(std::nearbyint(Acc), 0.0, 255.0));
    }
    return true;
}

void BytesToDoubles(TXSimdLevel Level, const Byte* Source, double* Dest, size_t Count)
{
    size_t I = 0;
    if (Level >= xslAVX2)
        DoublesAVX2(Source, Dest, I, Count);
    for (; I < Count; ++I)
        Dest[I] = Source[I];
}

void Widen24(TXSimdLevel Level, const Byte* Source, Byte* Dest, Integer Count)
{
    Integer X = 0;
    if (Level >= xslAVX512)
        Widen24AVX512(Source, Dest, X, Count);
    else if (Level >= xslAVX2)
        Widen24AVX2(Source, Dest, X, Count);
    for (; X < Count; ++X) {
        Dest[size_t(X) * 4] = Source[size_t(X) * 3];
        Dest[size_t(X) * 4 + 1] = Source[size_t(X) * 3 + 1];
        Dest[size_t(X) * 4 + 2] = Source[size_t(X) * 3 + 2];
        Dest[size_t(X) * 4 + 3] = 0;
    }
}

void WeightedSumShared(TXSimdLevel Level, const Byte* const* Rows, const double* Weights, Integer Taps,
    Byte* const* Outs, Integer Count, size_t Bytes)
{
    if (Level < xslAVX2) {
        for (Integer O = 0; O < Count; ++O)
            WeightedSum(Level, Rows + (Count - 1 - O), Weights, Taps, Outs[O], Bytes);
        return;
    }
    size_t I = 0;
    if (Level >= xslAVX512)
        WeightedSharedAVX512(Rows, Weights, Taps, Outs, Count, I, Bytes);
    if (Level >= xslAVX2)
        WeightedSharedAVX2(Rows, Weights, Taps, Outs, Count, I, Bytes);
    // The rest one output at a time.
    for (Integer O = 0; O < Count; ++O)
        for (size_t B = I; B < Bytes; ++B) {
            double Acc = 0;
            for (Integer T = 0; T < Taps; ++T)
                Acc = Acc + Weights[T] * double(Rows[Count - 1 - O + T][B]);
            Outs[O][B] = Byte(std::clamp(std::nearbyint(Acc), 0.0, 255.0));
        }
}

void Blend(TXSimdLevel Level, const Byte* Source, Byte* Dest, size_t Bytes, Byte Alpha, TFourth Fourth)
{
    size_t I = 0;
    // Vector steps are multiples of 4, so the fourth bytes stay at offsets 3 mod 4.
    if (Level >= xslAVX512)
        BlendAVX512(Source, Dest, I, Bytes, Alpha, Fourth);
    if (Level >= xslAVX2)
        BlendAVX2(Source, Dest, I, Bytes, Alpha, Fourth);
    if (Level >= xslSSE2)
        BlendSSE2(Source, Dest, I, Bytes, Alpha, Fourth);
    BlendPlain(Source, Dest, I, Bytes, Alpha, Fourth);
}

void AddSaturated(TXSimdLevel Level, const Byte* Source, Byte* Dest, size_t Bytes, TFourth Fourth)
{
    size_t I = 0;
    if (Level >= xslAVX512)
        AddAVX512(Source, Dest, I, Bytes, Fourth, false);
    if (Level >= xslAVX2)
        AddAVX2(Source, Dest, I, Bytes, Fourth, false);
    if (Level >= xslSSE2)
        AddSSE2(Source, Dest, I, Bytes, Fourth, false);
    AddPlain(Source, Dest, I, Bytes, Fourth, false);
}

void SubtractFloored(TXSimdLevel Level, const Byte* Source, Byte* Dest, size_t Bytes, TFourth Fourth)
{
    size_t I = 0;
    if (Level >= xslAVX512)
        AddAVX512(Source, Dest, I, Bytes, Fourth, true);
    if (Level >= xslAVX2)
        AddAVX2(Source, Dest, I, Bytes, Fourth, true);
    if (Level >= xslSSE2)
        AddSSE2(Source, Dest, I, Bytes, Fourth, true);
    AddPlain(Source, Dest, I, Bytes, Fourth, true);
}

void Keyed32(TXSimdLevel Level, const Byte* Source, Byte* Dest, Integer Pixels, Cardinal Key, Byte Alpha)
{
    Integer X = 0;
    if (Level >= xslAVX512)
        KeyedAVX512(Source, Dest, X, Pixels, Key, Alpha);
    if (Level >= xslAVX2)
        KeyedAVX2(Source, Dest, X, Pixels, Key, Alpha);
    if (Level >= xslSSE2)
        KeyedSSE2(Source, Dest, X, Pixels, Key, Alpha);
    KeyedPlain(Source, Dest, X, Pixels, Key, Alpha);
}

void WeightedSum(TXSimdLevel Level, const Byte* const* Rows, const double* Weights, Integer Taps, Byte* Out,
    size_t Bytes)
{
    size_t I = 0;
    if (Level >= xslAVX512)
        WeightedAVX512(Rows, Weights, Taps, Out, I, Bytes);
    if (Level >= xslAVX2)
        WeightedAVX2(Rows, Weights, Taps, Out, I, Bytes);
    if (Level >= xslSSE2)
        WeightedSSE2(Rows, Weights, Taps, Out, I, Bytes);
    WeightedPlain(Rows, Weights, Taps, Out, I, Bytes);
}

}
