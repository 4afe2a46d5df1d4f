// A stable merge sort that stays in its bounds whatever the comparison
// answers, even when it contradicts itself (std::stable_sort may not, and
// comparisons often come from handlers of the program).
#pragma once
#include "rtl/Types.h"
#include <algorithm>
#include <numeric>
#include <vector>

// The positions 0..Count-1 in a stable order by IsLess(A, B).
template<class Less>
std::vector<Integer> MergeSortPositions(Integer Count, Less IsLess)
{
    std::vector<Integer> A(static_cast<size_t>(Count)), B(static_cast<size_t>(Count));
    std::iota(A.begin(), A.end(), 0);
    for (size_t Width = 1; Width < A.size(); Width *= 2) {
        for (size_t Lo = 0; Lo < A.size(); Lo += 2 * Width) {
            size_t Mid = std::min(Lo + Width, A.size()), Hi = std::min(Lo + 2 * Width, A.size());
            size_t I = Lo, J = Mid, K = Lo;
            while (I < Mid && J < Hi)
                B[K++] = IsLess(A[J], A[I]) ? A[J++] : A[I++];
            while (I < Mid)
                B[K++] = A[I++];
            while (J < Hi)
                B[K++] = A[J++];
        }
        A.swap(B);
    }
    return A;
}
