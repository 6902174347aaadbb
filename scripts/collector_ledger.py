"""The collector's ledger of each stream's numbers: those received and those
the library reported as dropped (the Ostrel-Dropped line), so that the
numbers neither received nor reported can be counted. Used by
scripts/collector; see its --help for the report it writes."""

import math
import re

REASONS = ("count", "bytes", "age", "rejected", "consent", "damaged")
UUID = re.compile(r"[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}")
RANGE = re.compile(r"([1-9][0-9]{0,18})(?:(-)([1-9][0-9]{0,18})?)?")


class NoticeError(ValueError):
    """An Ostrel-Dropped line that does not follow its grammar."""


class RangeSet:
    """A set of positive whole numbers as sorted, disjoint, non-touching
    [first, last] ranges; last may be math.inf (every later number)."""

    def __init__(self, ranges=()):
        self.ranges = []
        for first, last in ranges:
            self.add(first, last)

    def add(self, first, last):
        kept, low, high = [], first, last
        for start, end in self.ranges:
            if end + 1 < low or start > high + 1:
                kept.append([start, end])
            else:
                low, high = min(low, start), max(high, end)
        kept.append([low, high])
        self.ranges = sorted(kept)

    def discard(self, number):
        for index, (start, end) in enumerate(self.ranges):
            if start <= number <= end:
                parts = [[start, number - 1]] if start < number else []
                parts += [[number + 1, end]] if number < end else []
                self.ranges[index:index + 1] = parts
                return

    def __contains__(self, number):
        return any(start <= number <= end for start, end in self.ranges)

    def without(self, other):
        """The numbers of this set that `other` does not hold."""
        left = RangeSet()
        for start, end in self.ranges:
            pieces = [[start, end]]
            for cut_start, cut_end in other.ranges:
                pieces = [piece for low, high in pieces for piece in
                          ([[low, min(high, cut_start - 1)]] if low < cut_start else []) +
                          ([[max(low, cut_end + 1), high]] if high > cut_end else [])]
            for low, high in pieces:
                left.add(low, high)
        return left

    def count(self, upto):
        """How many of its numbers are at most `upto`."""
        return sum(max(0, min(end, upto) - start + 1) for start, end in self.ranges)

    def highest_finite(self):
        """Its highest number, open-ended ranges left out (which say nothing
        of how far a stream went)."""
        return max((end for _, end in self.ranges if end != math.inf), default=0)

    def text(self):
        return ",".join(str(start) if start == end else
                        f"{start}-" if end == math.inf else f"{start}-{end}"
                        for start, end in self.ranges)

    @staticmethod
    def parse(text):
        ranges = RangeSet()
        for part in filter(None, text.split(",")):
            match = RANGE.fullmatch(part)
            if not match:
                raise NoticeError(f'"{part}" is not a range')
            first = int(match[1])
            last = math.inf if match[2] and not match[3] else int(match[3] or first)
            if last < first:
                raise NoticeError(f'range "{part}" ends before it starts')
            ranges.add(first, last)
        return ranges


def parse_dropped(value):
    """[(reason, stream or None, RangeSet)] of an Ostrel-Dropped value."""
    items = []
    for item in value.split(";"):
        reason, equals, ranges = item.strip().partition("=")
        stream = None
        if reason == "damaged":
            stream, colon, ranges = ranges.partition(":")
            if not colon or not UUID.fullmatch(stream):
                raise NoticeError(f'"{item}" does not name the damaged stream')
        if not equals or reason not in REASONS or not ranges:
            raise NoticeError(f'"{item}" is not <reason>=<ranges>')
        items.append((reason, stream, RangeSet.parse(ranges)))
    return items


class StreamLedger:
    def __init__(self):
        self.highest = 0
        self.duplicates = 0
        self.delivered = RangeSet()
        self.dropped = {}  # reason -> RangeSet

    def deliver(self, number):
        if number in self.delivered:
            self.duplicates += 1
        self.delivered.add(number, number)
        for numbers in self.dropped.values():
            numbers.discard(number)  # received: whatever was reported of it
        self.highest = max(self.highest, number)

    def drop(self, reason, numbers):
        new = numbers.without(self.delivered)
        for earlier in self.dropped.values():
            new = new.without(earlier)  # the first reason given stays
        for first, last in new.ranges:
            self.dropped.setdefault(reason, RangeSet()).add(first, last)
        self.highest = max(self.highest, numbers.highest_finite())

    def summary(self):
        dropped = {reason: numbers.count(self.highest)
                   for reason, numbers in sorted(self.dropped.items())}
        accounted = RangeSet(self.delivered.ranges)
        for numbers in self.dropped.values():
            for first, last in numbers.ranges:
                accounted.add(first, last)
        missing = RangeSet([(1, self.highest)] if self.highest else []).without(accounted)
        return {"highest": self.highest, "delivered": self.delivered.count(self.highest),
                "duplicates": self.duplicates,
                "dropped": {reason: count for reason, count in dropped.items() if count},
                "unaccounted": missing.count(self.highest),
                "ranges": {"delivered": self.delivered.text(),
                           "dropped": {reason: numbers.text()
                                       for reason, numbers in sorted(self.dropped.items())
                                       if numbers.ranges},
                           "unaccounted": missing.text()}}

    @staticmethod
    def load(summary):
        ledger = StreamLedger()
        ledger.highest = summary["highest"]
        ledger.duplicates = summary["duplicates"]
        ledger.delivered = RangeSet.parse(summary["ranges"]["delivered"])
        ledger.dropped = {reason: RangeSet.parse(text)
                          for reason, text in summary["ranges"]["dropped"].items()}
        return ledger


class Ledger:
    """Every stream's ledger."""

    def __init__(self, report=None):
        self.streams = {}
        for stream, summary in (report or {}).get("streams", {}).items():
            self.streams[stream] = StreamLedger.load(summary)

    def received(self, stream, sequence, dropped):
        """A request answered 200: its number, and what its Ostrel-Dropped
        line (parsed) reported."""
        ledger = self.streams.setdefault(stream, StreamLedger())
        ledger.deliver(sequence)
        for reason, other, numbers in dropped:
            self.streams.setdefault(other or stream, StreamLedger()).drop(reason, numbers)

    def report(self):
        return {"streams": {stream: ledger.summary()
                            for stream, ledger in sorted(self.streams.items())}}

    def summary_line(self):
        summaries = [ledger.summary() for ledger in self.streams.values()]
        dropped = {}
        for summary in summaries:
            for reason, count in summary["dropped"].items():
                dropped[reason] = dropped.get(reason, 0) + count
        total = lambda key: sum(summary[key] for summary in summaries)
        reasons = ", ".join(f"{reason} {count}" for reason, count in sorted(dropped.items()))
        streams = f"{len(summaries)} stream" + ("" if len(summaries) == 1 else "s")
        return (f"completeness: {streams}, highest {total('highest')}, "
                f"delivered {total('delivered')}, duplicates {total('duplicates')}, "
                f"dropped {sum(dropped.values())}" + (f" ({reasons})" if reasons else "") +
                f", unaccounted {total('unaccounted')}")
