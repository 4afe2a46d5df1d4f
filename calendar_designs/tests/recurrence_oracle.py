#!/usr/bin/env python3
"""Writes random recurrence rules with the day flags python-dateutil's
rrule gives them for several months, one case a line:

  freq interval allday start end endtype until bymonthday byweekday year month flags | rrule text

Dates are yyyymmddThhmm, lists comma-separated ("-" when empty), week
days value:weekday (1 Monday .. 7 Sunday, value 0 every such day), flags
62 hex digits (31 bytes).

Only rules our model expresses the way RRULE does are made: DAILY;
WEEKLY with BYDAY counted from the start's Monday (WKST=MO); MONTHLY with
BYMONTHDAY (1..31, -1..-27) and/or BYDAY counted from the start's 1st (both lists give the
union of their rules, one per
weekday item); YEARLY with interval 1 from any day but 29 February.
UNTIL is the end of the until day; a month ending before the start's day
gets nothing.

Usage: recurrence_oracle.py SEED COUNT
       recurrence_oracle.py SEED COUNT --bench YEAR MONTHS
The second form times rrule.between for each rule over MONTHS months
from January of YEAR, the starts put in their months, prints
"seconds <time>", then the rules, each with YEAR 1 and flags "-".
"""
import bisect
import random
import sys
import time
from datetime import date, datetime, timedelta

from dateutil.rrule import DAILY, MONTHLY, WEEKLY, YEARLY, rrule, rruleset
from dateutil.rrule import weekday as rweekday

FREQS = {"daily": DAILY, "weekly": WEEKLY, "monthly": MONTHLY, "yearly": YEARLY}
WKST_MO = rweekday(0)


def month_last(y, m):
    return (date(y + (m == 12), m % 12 + 1, 1) - timedelta(days=1))


def stamp(d):
    return d.strftime("%Y%m%dT%H%M")


def rules_of(case):
    """The dateutil rules whose union the case means."""
    s = case["start"]
    until = case["until_end"]
    i = case["interval"]
    f = case["freq"]
    if f == "daily":
        return [rrule(DAILY, interval=i, dtstart=s, until=until)]
    if f == "yearly":
        return [rrule(YEARLY, interval=1, dtstart=s, until=until)]
    if f == "weekly":
        monday = s - timedelta(days=s.weekday())
        days = sorted({w for _, w in case["byweekday"]}) or [s.weekday() + 1]
        return [rrule(WEEKLY, interval=i, wkst=WKST_MO, byweekday=[rweekday(w - 1) for w in days],
                      dtstart=monday, until=until)]
    first = s.replace(day=1)
    out = []
    if not case["bymonthday"] and not case["byweekday"]:
        out.append(rrule(MONTHLY, interval=i, bymonthday=[s.day], dtstart=first, until=until))
    if case["bymonthday"]:
        out.append(rrule(MONTHLY, interval=i, bymonthday=case["bymonthday"], dtstart=first, until=until))
    # One rule per weekday item: dateutil intersects plain and numbered
    # weekdays of one rule, where each item stands alone here.
    for v, w in case["byweekday"]:
        wd = rweekday(w - 1, v) if v else rweekday(w - 1)
        out.append(rrule(MONTHLY, interval=i, byweekday=[wd], dtstart=first, until=until))
    return out


def rrule_text(case):
    parts = []
    for r in rules_of(case):
        parts.append(str(r).replace("\n", " "))
    return " + ".join(parts)


def flags_for(case, occurrences, y, m):
    buf = [0] * 31
    first_day = date(y, m, 1)
    last = month_last(y, m)
    s_day = case["start"].date()
    if last < s_day:
        return buf
    if case["until"] is not None:
        if case["until"] < first_day:
            return buf
        last = min(last, case["until"])
    n = int(abs((case["end"] - case["start"]).total_seconds()) // 86400)
    firsts, middles, lasts = set(), set(), set()
    lo = bisect.bisect_left(occurrences, first_day - timedelta(days=n))
    hi = bisect.bisect_right(occurrences, last)
    for d in occurrences[lo:hi]:
        firsts.add(d)
        for k in range(1, n):
            middles.add(d + timedelta(days=k))
        if n > 0:
            lasts.add(d + timedelta(days=n))
    keep = lambda ds: {d for d in ds if first_day <= d <= last}
    firsts, middles, lasts = keep(firsts), keep(middles), keep(lasts)
    if case["allday"]:
        for d in firsts | middles | lasts:
            buf[d.day - 1] = 1
    elif s_day == case["end"].date():
        for d in firsts:
            buf[d.day - 1] = 2
    else:
        for d in firsts:
            buf[d.day - 1] |= 4
        for d in middles:
            buf[d.day - 1] |= 8
        for d in lasts:
            buf[d.day - 1] |= 16
    return buf


def random_case(rnd, years=(1900, 2095)):
    freq = rnd.choice(list(FREQS))
    allday = rnd.random() < 0.4
    while True:
        y, m = rnd.randint(*years), rnd.randint(1, 12)
        d = rnd.randint(1, month_last(y, m).day)
        if not (freq == "yearly" and m == 2 and d == 29):
            break
    start = datetime(y, m, d)
    if allday:
        start = start.replace(hour=0, minute=0)
        end = start + timedelta(days=rnd.randint(0, 40))
    else:
        start = start.replace(hour=rnd.randint(0, 23), minute=rnd.randint(0, 59))
        end = start + timedelta(minutes=rnd.randint(0, 40 * 1440 + 1439))
    endtype = rnd.choice(["vreForever", "vreInstances", "vreEndDate"])
    until = None
    if endtype == "vreEndDate":
        until = start.date() + timedelta(days=rnd.randint(-10, 900))
    interval = 1 if freq == "yearly" else rnd.randint(1, 5)
    bymonthday, byweekday = [], []
    if freq == "weekly" and rnd.random() < 0.7:
        byweekday = [(0, w) for w in rnd.sample(range(1, 8), rnd.randint(1, 3))]
    if freq == "monthly":
        kind = rnd.choice(["plain", "days", "weekdays", "both"])
        if kind in ("days", "both"):
            # Counted from the end, the day-of-month rule reaches the second
            # day at most (-(L - 1)), where RRULE's -L is the first.
            bymonthday = sorted({rnd.randint(1, 31) if rnd.random() < 0.5 else -rnd.randint(1, 27)
                                 for _ in range(rnd.randint(1, 3))})
        if kind in ("weekdays", "both"):
            byweekday = sorted({(rnd.choice([0, 1, 2, 3, 4, -1, -2, -3, -4]), rnd.randint(1, 7))
                                for _ in range(rnd.randint(1, 2))})
    case = {"freq": freq, "interval": interval, "allday": allday, "start": start, "end": end,
            "endtype": endtype, "until": until, "bymonthday": bymonthday, "byweekday": byweekday}
    case["until_end"] = datetime.combine(until, datetime.max.time().replace(microsecond=0)) if until else None
    return case


def months_for(case, rnd):
    y, m = case["start"].year, case["start"].month
    base = y * 12 + m - 1
    out = {base, base + 1}
    for _ in range(3):
        out.add(base + rnd.randint(-2, 60))
    return sorted(k for k in out if 1900 * 12 <= k < 2100 * 12)


def case_fields(case, y, m, flags_hex):
    return [case["freq"], str(case["interval"]), "1" if case["allday"] else "0",
            stamp(case["start"]), stamp(case["end"]), case["endtype"],
            case["until"].strftime("%Y%m%d") if case["until"] else "-",
            ",".join(map(str, case["bymonthday"])) or "-",
            ",".join(f"{v}:{w}" for v, w in case["byweekday"]) or "-",
            str(y), str(m), flags_hex]


def bench(rnd, count, year, months):
    # Holidays a user keeps: started in the ten years before the view.
    cases = [random_case(rnd, (year - 10, year - 1)) for _ in range(count)]
    sets = []
    for case in cases:
        rs = rruleset()
        for r in rules_of(case):
            rs.rrule(r)
        n = int(abs((case["end"] - case["start"]).total_seconds()) // 86400)
        sets.append((rs, n))
    # One between per rule over the whole window, as a user would ask for
    # a decade, the starts then put in their months.
    began = time.perf_counter()
    found = 0
    y0 = year
    y1, m1 = divmod(year * 12 + months - 1, 12)
    for rs, n in sets:
        after = datetime.combine(date(y0, 1, 1) - timedelta(days=n), datetime.min.time())
        before = datetime.combine(month_last(y1, m1 + 1), datetime.max.time().replace(microsecond=0))
        per_month = {}
        for occ in rs.between(after, before, inc=True):
            key = occ.year * 12 + occ.month
            per_month[key] = per_month.get(key, 0) + 1
        found += sum(per_month.values())
    print(f"seconds {time.perf_counter() - began:.6f} occurrences {found}")
    for case in cases:
        print(" ".join(case_fields(case, year, 1, "-")) + " | " + rrule_text(case))


def main():
    seed, count = int(sys.argv[1]), int(sys.argv[2])
    rnd = random.Random(seed)
    if len(sys.argv) > 5 and sys.argv[3] == "--bench":
        bench(rnd, count, int(sys.argv[4]), int(sys.argv[5]))
        return
    for _ in range(count):
        case = random_case(rnd)
        months = months_for(case, rnd)
        if not months:
            continue
        rs = rruleset()
        for r in rules_of(case):
            rs.rrule(r)
        # Every start up to the last month asked, once.
        y, m = divmod(months[-1], 12)
        before = datetime.combine(month_last(y, m + 1), datetime.max.time().replace(microsecond=0))
        occurrences = [o.date() for o in rs.between(datetime(1800, 1, 1), before, inc=True)]
        text = rrule_text(case)
        for k in months:
            y, m = divmod(k, 12)
            m += 1
            flags = flags_for(case, occurrences, y, m)
            fields = case_fields(case, y, m, bytes(flags).hex())
            print(" ".join(fields) + " | " + text)


if __name__ == "__main__":
    main()
