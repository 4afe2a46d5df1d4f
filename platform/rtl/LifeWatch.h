// Tells code that calls out of an object whether the call freed it.
//
// Handlers may free the object that runs them (a form closing itself on a
// notification, a gear freed by its own event). The object holds a
// TLifeMark member; before calling out, the caller puts a TLifeWatch on the
// stack and asks Freed() after each call, touching nothing of the object
// once it is true:
//
//     TLifeWatch Watch(FLife);
//     Handler(this);
//     if (Watch.Freed())
//         return;
//
// Watches on one mark nest (the last made goes first) and belong to the
// thread that calls out.
#pragma once
#include <cstddef>
#include <deque>

class TLifeWatch;

class TLifeMark {
public:
    TLifeMark() = default;
    TLifeMark(const TLifeMark&) = delete;
    TLifeMark& operator=(const TLifeMark&) = delete;
    inline ~TLifeMark();

private:
    friend class TLifeWatch;
    TLifeWatch* FTop = nullptr;
};

// The mark keeps the address of a watch on the stack only while the watch
// lives (its destructor takes it out again); GCC cannot always see that.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdangling-pointer"
#endif
class TLifeWatch {
public:
    explicit TLifeWatch(TLifeMark& Mark)
        : FMark(&Mark)
        , FOuter(Mark.FTop)
    {
        Mark.FTop = this;
    }
    TLifeWatch(const TLifeWatch&) = delete;
    TLifeWatch& operator=(const TLifeWatch&) = delete;
    ~TLifeWatch()
    {
        if (FMark)
            FMark->FTop = FOuter;
    }

    bool Freed() const { return FMark == nullptr; }

private:
    friend class TLifeMark;
    TLifeMark* FMark;
    TLifeWatch* FOuter;
};
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

TLifeMark::~TLifeMark()
{
    for (TLifeWatch* W = FTop; W; W = W->FOuter)
        W->FMark = nullptr;
}

// A watch on each object of a round of calls out (every child of a control,
// every form), all made before the first call, so a handler that frees
// any of them is seen.
class TLifeWatches {
public:
    void Add(TLifeMark& Mark) { FWatches.emplace_back(Mark); }
    bool Freed(std::size_t Index) const { return FWatches[Index].Freed(); }

private:
    std::deque<TLifeWatch> FWatches; // never moved once made
};
