#include "engine/edit_history.h"

#include <algorithm>
#include <cstring>

namespace {

struct ImageHeader {
    std::array<int, kPitchClasses> scaleMask;
    int noteCount;
    int selectionCount;
    std::array<int, kMaxSelection> selection;
    int formantMode;
    // The links: caches, but which computed points a later change clears
    // depends on them, so they come back exactly as they were.
    std::array<int, kMaxNotes> prevNote;
    std::array<int, kMaxNotes> nextNote;
};

// A note row's attributes in the chunk's order, its source row and contour.
constexpr NoteArray TakeModel::*kNoteAttributes[] = {&TakeModel::targetStart, &TakeModel::targetEnd,
    &TakeModel::sourceStart, &TakeModel::sourceEnd, &TakeModel::pitch, &TakeModel::fineTune,
    &TakeModel::volume, &TakeModel::sourcePitch, &TakeModel::rawContourDamping,
    &TakeModel::fineContourDamping, &TakeModel::vibratoAmplitude, &TakeModel::vibratoRate,
    &TakeModel::vibratoAttack, &TakeModel::blending};
constexpr std::size_t kAttributeCount = std::size(kNoteAttributes);

struct RowRecord {
    std::array<float, kAttributeCount> attributes;
    int sourceRow;
    ContourRow contour;
};

constexpr std::size_t kHeaderBytes = sizeof(ImageHeader);
constexpr std::size_t kRowBytes = sizeof(RowRecord);
constexpr std::size_t kWord = sizeof(uint32_t);
// Changed words closer than this are kept in one span: a span's own cost
// (its offset and length) outweighs a few unchanged bytes.
constexpr std::size_t kSpanJoinGap = kWord * 4;

// The byte spans where to differs from from over [first, end), with the
// bytes of to.
void diffBytes(const unsigned char* from, const unsigned char* to, std::size_t first,
    std::size_t end, std::vector<uint32_t>& spanOut, std::vector<unsigned char>& bytesOut)
{
    std::size_t at = first;
    while (at < end) {
        if (std::memcmp(from + at, to + at, kWord) == 0) {
            at += kWord;
            continue;
        }
        std::size_t scan = at + kWord;
        std::size_t lastChanged = scan;
        while (scan < end && scan - lastChanged < kSpanJoinGap) {
            if (std::memcmp(from + scan, to + scan, kWord) != 0)
                lastChanged = scan + kWord;
            scan += kWord;
        }
        spanOut.push_back(static_cast<uint32_t>(at));
        spanOut.push_back(static_cast<uint32_t>(lastChanged - at));
        bytesOut.insert(bytesOut.end(), to + at, to + lastChanged);
        at = lastChanged;
    }
}

} // namespace

unsigned char* EditImage::row(int index) { return bytes.data() + kHeaderBytes + index * kRowBytes; }

const unsigned char* EditImage::row(int index) const
{
    return bytes.data() + kHeaderBytes + index * kRowBytes;
}

void EditImage::capture(const TakeModel& model, int formantMode, int rows)
{
    rows = std::clamp(rows, 0, kMaxNotes);
    bytes.resize(kHeaderBytes + static_cast<std::size_t>(rows) * kRowBytes);
    rowCount = rows;
    ImageHeader header {};
    header.scaleMask = model.scaleMask;
    header.noteCount = std::clamp(model.noteCount, 0, kMaxNotes);
    header.selectionCount = std::clamp(model.selectionCount, 0, kMaxSelection);
    header.selection = model.selection;
    header.formantMode = formantMode;
    header.prevNote = model.prevNote;
    header.nextNote = model.nextNote;
    std::memcpy(bytes.data(), &header, kHeaderBytes);
    for (int n = 0; n < rows; ++n) {
        RowRecord record;
        for (std::size_t a = 0; a < kAttributeCount; ++a)
            record.attributes[a] = (model.*kNoteAttributes[a])[static_cast<std::size_t>(n)];
        record.sourceRow = model.sourceRow[static_cast<std::size_t>(n)];
        record.contour = model.contour[static_cast<std::size_t>(n)];
        std::memcpy(row(n), &record, kRowBytes);
    }
}

void EditImage::extendWithUnusedRows(int rows)
{
    rows = std::clamp(rows, 0, kMaxNotes);
    if (rows <= rowCount)
        return;
    bytes.resize(kHeaderBytes + static_cast<std::size_t>(rows) * kRowBytes);
    RowRecord unused {};
    unused.contour.fill(kPitchUnset);
    for (int n = rowCount; n < rows; ++n)
        std::memcpy(row(n), &unused, kRowBytes);
    rowCount = rows;
}

int EditImage::restore(TakeModel& model) const
{
    ImageHeader header;
    std::memcpy(&header, bytes.data(), kHeaderBytes);
    model.scaleMask = header.scaleMask;
    model.noteCount = std::clamp(header.noteCount, 0, kMaxNotes);
    model.selectionCount = std::clamp(header.selectionCount, 0, kMaxSelection);
    model.selection = header.selection;
    model.prevNote = header.prevNote;
    model.nextNote = header.nextNote;
    for (int n = 0; n < rowCount; ++n) {
        RowRecord record;
        std::memcpy(&record, row(n), kRowBytes);
        for (std::size_t a = 0; a < kAttributeCount; ++a)
            (model.*kNoteAttributes[a])[static_cast<std::size_t>(n)] = record.attributes[a];
        model.sourceRow[static_cast<std::size_t>(n)] = record.sourceRow;
        model.contour[static_cast<std::size_t>(n)] = record.contour;
    }
    return header.formantMode;
}

EditHistory::EditHistory(std::size_t budgetBytes)
    : budget(budgetBytes)
{
}

std::size_t EditHistory::Direction::cost() const
{
    return runs.capacity() * sizeof(Run) + spans.capacity() * sizeof(Span) + bytes.capacity();
}

EditHistory::Direction EditHistory::describe(const EditImage& from, const EditImage& to)
{
    Direction direction;
    std::vector<uint32_t> spans;
    diffBytes(from.data(), to.data(), 0, kHeaderBytes, spans, direction.bytes);
    const int rows = to.rows();
    auto sameRows = [&](int toRow, int fromRow) {
        return std::memcmp(to.row(toRow), from.row(fromRow), kRowBytes) == 0;
    };
    for (int n = 0; n < rows; ++n) {
        RowSource source = RowSource::same;
        if (!sameRows(n, n)) {
            if (n + 1 < rows && sameRows(n, n + 1))
                source = RowSource::following;
            else if (n > 0 && sameRows(n, n - 1))
                source = RowSource::preceding;
            else
                diffBytes(from.data(), to.data(), kHeaderBytes + n * kRowBytes,
                    kHeaderBytes + (n + 1) * kRowBytes, spans, direction.bytes);
        }
        if (!direction.runs.empty() && direction.runs.back().source == source)
            ++direction.runs.back().rows;
        else
            direction.runs.push_back({source, 1});
    }
    for (std::size_t s = 0; s < spans.size(); s += 2)
        direction.spans.push_back({spans[s], spans[s + 1]});
    direction.runs.shrink_to_fit();
    direction.spans.shrink_to_fit();
    direction.bytes.shrink_to_fit();
    return direction;
}

void EditHistory::record(const EditImage& before, const EditImage& after)
{
    Direction forwards = describe(before, after);
    if (forwards.spans.empty() && forwards.runs.size() <= 1
        && (forwards.runs.empty() || forwards.runs.front().source == RowSource::same))
        return;
    Step step {describe(after, before), std::move(forwards)};
    for (const Step& dropped : redoSteps)
        held -= dropped.cost();
    redoSteps.clear();
    held += step.cost();
    ++recorded;
    undoSteps.push_back(std::move(step));
    while (held > budget && undoSteps.size() > 1) {
        held -= undoSteps.front().cost();
        undoSteps.pop_front();
    }
}

void EditHistory::apply(const Direction& direction, EditImage& image)
{
    // Rows taken from a neighbour are read from a copy of the side they
    // come from.
    const std::size_t rowBytes = static_cast<std::size_t>(image.rows()) * kRowBytes;
    scratch.assign(image.row(0), image.row(0) + rowBytes);
    int n = 0;
    for (const Run& run : direction.runs) {
        const int offset = run.source == RowSource::following ? 1
            : run.source == RowSource::preceding              ? -1
                                                              : 0;
        if (offset != 0)
            std::memcpy(
                image.row(n), scratch.data() + (n + offset) * kRowBytes, run.rows * kRowBytes);
        n += static_cast<int>(run.rows);
    }
    std::size_t from = 0;
    for (const Span& span : direction.spans) {
        std::memcpy(image.data() + span.offset, direction.bytes.data() + from, span.length);
        from += span.length;
    }
}

bool EditHistory::undo(EditImage& image)
{
    if (undoSteps.empty())
        return false;
    apply(undoSteps.back().backwards, image);
    redoSteps.push_back(std::move(undoSteps.back()));
    undoSteps.pop_back();
    return true;
}

bool EditHistory::redo(EditImage& image)
{
    if (redoSteps.empty())
        return false;
    apply(redoSteps.back().forwards, image);
    undoSteps.push_back(std::move(redoSteps.back()));
    redoSteps.pop_back();
    return true;
}

void EditHistory::clear()
{
    undoSteps.clear();
    redoSteps.clear();
    held = 0;
    recorded = 0;
}
