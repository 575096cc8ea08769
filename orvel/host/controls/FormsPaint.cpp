// Composing a form's pixels from its controls: each control paints its frame, scroll bars and
// client area into the form's surface at its place, children over parents, clipped to their
// parents; only the controls marked since the last composition are painted again.
#include "orvel/host/controls/ControlPaint.h"
#include "orvel/host/controls/Forms.h"

#include <algorithm>
#include <vector>

namespace orvel {

namespace {

TRect Offset(TRect r, int dx, int dy) {
    OffsetRect(r, dx, dy);
    return r;
}

TRect Common(const TRect& a, const TRect& b) {
    TRect r;
    IntersectRect(r, a, b);
    return r;
}

TRect Union(const TRect& a, const TRect& b) {
    if (a.IsEmpty()) return b;
    if (b.IsEmpty()) return a;
    return Rect(std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
                std::max(a.Bottom, b.Bottom));
}

} // namespace

// The controls of a tree as painted, in painting order: a control, then its children in
// z-order (the later inserted on top), pop-up windows (dropped-down lists) after everything
// else. Each entry knows where the control's top-left lies on the target and what of the target
// it may paint (its bounds within its parents' client areas).
class TFormComposer {
public:
    struct TEntry {
        TControl* Control = nullptr;
        TPoint Origin;      // the control's top-left on the target
        TRect Visible;      // target pixels the control shows on
        bool Whole = false; // painted completely by the current composition
    };

    // The tree of root with root's top-left at origin, within bounds on the target.
    TFormComposer(TWinControl& root, TPoint origin, const TRect& bounds) {
        int b = root.BorderWidth();
        TPoint rootClient = root.ClientOrigin();
        // Pop-ups are placed on the screen: map them through the root's client origin.
        FScreenToTarget = {origin.X + b - rootClient.X, origin.Y + b - rootClient.Y};
        Collect(root, origin, bounds, FEntries);
        FFirstPopup = FEntries.size();
        FEntries.insert(FEntries.end(), FPopups.begin(), FPopups.end());
    }

    std::vector<TEntry>& Entries() { return FEntries; }
    // The places of the pop-up windows shown now.
    std::vector<TRect> PopupPlaces() const {
        std::vector<TRect> places;
        for (std::size_t i = FFirstPopup; i < FEntries.size(); ++i) {
            auto* win = dynamic_cast<TWinControl*>(FEntries[i].Control);
            if (win && win->IsDetachedWindow()) places.push_back(FEntries[i].Visible);
        }
        return places;
    }

    // Paints the entries from first on that show inside clip, each clipped to it.
    void PaintFrom(TCanvas& canvas, std::size_t first, const TRect& clip,
                   std::vector<bool>* painted) {
        for (std::size_t i = first; i < FEntries.size(); ++i) {
            TRect area = Common(FEntries[i].Visible, clip);
            if (area.IsEmpty()) continue;
            PaintEntry(canvas, FEntries[i], area);
            if (painted) (*painted)[i] = true;
        }
    }

    static void PaintEntry(TCanvas& canvas, const TEntry& entry, const TRect& area) {
        TControl& control = *entry.Control;
        auto* win = dynamic_cast<TWinControl*>(&control);
        int b = win ? win->BorderWidth() : 0;
        TPoint client{entry.Origin.X + b, entry.Origin.Y + b};
        canvas.ResetClip();
        canvas.SetWindowOrg({-client.X, -client.Y});
        canvas.IntersectClipRect(Offset(area, -client.X, -client.Y));
        ResetTools(canvas, control);
        if (win) {
            PaintBorder(canvas, *win);
            PaintScrollBars(canvas, *win);
        }
        canvas.IntersectClipRect(control.ClientRect());
        ResetTools(canvas, control);
        control.Perform(WM_PAINT, reinterpret_cast<WPARAM>(canvas.Handle()), 0);
        canvas.ResetClip();
        canvas.SetWindowOrg({0, 0});
    }

    static void CountPaint(TControl& control, bool whole) {
        ++control.FPaintCount;
        if (whole) control.FInvalidated = false;
    }
    static bool Marked(const TControl& control) { return control.FComposeNeeded; }
    static void Composed(TControl& control, const TRect& shown) {
        control.FComposeNeeded = false;
        control.FComposedRect = shown;
    }
    static TRect LastShown(const TControl& control) { return control.FComposedRect; }

private:
    // A canvas that a previous control left with other colours starts each control afresh.
    static void ResetTools(TCanvas& canvas, const TControl& control) {
        canvas.Font()->Assign(control.Font());
        canvas.Brush()->SetStyle(bsSolid);
        canvas.Brush()->SetColor(control.Color());
        canvas.Pen()->SetColor(clWindowText);
        canvas.Pen()->SetWidth(1);
    }

    void Collect(TControl& control, TPoint origin, const TRect& within, std::vector<TEntry>& out) {
        TRect visible =
            Common(Bounds(origin.X, origin.Y, control.Width(), control.Height()), within);
        out.push_back({&control, origin, visible, false});
        auto* win = dynamic_cast<TWinControl*>(&control);
        if (!win) return;
        int b = win->BorderWidth();
        TPoint client{origin.X + b, origin.Y + b};
        TRect inside = Common(Offset(win->ClientRect(), client.X, client.Y), visible);
        for (int i = 0; i < win->ControlCount(); ++i) {
            TControl* child = win->Controls(i);
            if (!child->Visible()) continue;
            auto* childWin = dynamic_cast<TWinControl*>(child);
            if (childWin && childWin->IsDetachedWindow()) {
                TPoint at{child->Left() + FScreenToTarget.X, child->Top() + FScreenToTarget.Y};
                Collect(*child, at, FBounds, FPopups);
                continue;
            }
            Collect(*child, {client.X + child->Left(), client.Y + child->Top()}, inside, out);
        }
    }

    std::vector<TEntry> FEntries;
    std::vector<TEntry> FPopups;
    std::size_t FFirstPopup = 0;
    TPoint FScreenToTarget;
    TRect FBounds{-(1 << 28), -(1 << 28), 1 << 28, 1 << 28};
};

void TWinControl::PaintTo(TCanvas& canvas, int x, int y) {
    TRect bounds = Bounds(x, y, Width(), Height());
    TFormComposer composer(*this, {x, y}, bounds);
    TPoint org = canvas.WindowOrg();
    try {
        composer.PaintFrom(canvas, 0, bounds, nullptr);
    } catch (...) {
        canvas.ResetClip();
        canvas.SetWindowOrg(org);
        throw;
    }
    canvas.SetWindowOrg(org);
}

void TCustomForm::PaintWindow(HDC DC) {
    TCanvas* canvas = CanvasFromHandle(DC);
    if (!canvas) return;
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(ClientRect());
}

TRect TCustomForm::PaintInvalid() {
    TRect client = ClientRect();
    bool resized = FSurface.Width() != client.Width() || FSurface.Height() != client.Height();
    if (resized) FSurface.SetSize(client.Width(), client.Height());
    TRect whole = Rect(0, 0, client.Width(), client.Height());
    TFormComposer composer(*this, {0, 0}, whole);
    auto& entries = composer.Entries();
    // Jobs: a rectangle and the first entry to paint in it. A marked control repaints itself
    // and what lies over it; where a control was shown before and is no longer, everything
    // from the form up repaints.
    struct TJob {
        TRect Area;
        std::size_t First;
    };
    std::vector<TJob> jobs;
    if (resized || TFormComposer::Marked(*this)) {
        jobs.push_back({whole, 0});
    } else {
        for (std::size_t i = 1; i < entries.size(); ++i) {
            TControl& c = *entries[i].Control;
            if (!TFormComposer::Marked(c)) continue;
            TRect before = TFormComposer::LastShown(c);
            if (!before.IsEmpty() && before != entries[i].Visible) jobs.push_back({before, 0});
            // A control without a window of its own may leave its background unpainted: its
            // parent paints under it first.
            std::size_t first = i;
            if (!dynamic_cast<TWinControl*>(&c))
                while (first > 0 && entries[first].Control != c.Parent())
                    --first;
            if (!entries[i].Visible.IsEmpty()) jobs.push_back({entries[i].Visible, first});
        }
    }
    // A pop-up that closed or moved (a drop-down list) uncovers what lay under it.
    std::vector<TRect> popups = composer.PopupPlaces();
    for (const TRect& before : FPopupPlaces)
        if (std::find(popups.begin(), popups.end(), before) == popups.end())
            jobs.push_back({before, 0});
    TCanvas& canvas = *FSurface.Canvas();
    std::vector<bool> painted(entries.size(), false);
    TRect damaged;
    for (const TJob& job : jobs) {
        TRect area = Common(job.Area, whole);
        if (area.IsEmpty()) continue;
        composer.PaintFrom(canvas, job.First, area, &painted);
        damaged = Union(damaged, area);
        // Everything from the first entry that lies wholly inside the area is painted whole.
        for (std::size_t i = job.First; i < entries.size(); ++i)
            if (!entries[i].Visible.IsEmpty() &&
                Common(entries[i].Visible, area) == entries[i].Visible)
                entries[i].Whole = true;
    }
    canvas.ClearFrameControlLog();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (painted[i]) TFormComposer::CountPaint(*entries[i].Control, entries[i].Whole);
        TFormComposer::Composed(*entries[i].Control, entries[i].Visible);
    }
    FPopupPlaces = popups;
    return damaged;
}

TSize FormWindowSize(const TCustomForm& form) {
    return {form.ClientWidth() + 2 * FormFrameWidth,
            form.ClientHeight() + 2 * FormFrameWidth + FormCaptionHeight};
}

void PaintFormWindow(TCanvas& canvas, TCustomForm& form, int x, int y) {
    TSize size = FormWindowSize(form);
    TRect outer = Bounds(x, y, size.cx, size.cy);
    canvas.Brush()->SetStyle(bsSolid);
    canvas.Brush()->SetColor(clBtnFace);
    canvas.FillRect(outer);
    PaintEdge(canvas, outer, false);
    TRect bar =
        Bounds(x + FormFrameWidth, y + FormFrameWidth, form.ClientWidth(), FormCaptionHeight - 1);
    canvas.Brush()->SetColor(form.Active() ? clActiveCaption : clInactiveCaption);
    canvas.FillRect(bar);
    // The close box: a small raised button at the right end of the bar with a cross.
    int box = FormCaptionHeight - 5;
    TRect close = Bounds(bar.Right - box - 2, bar.Top + 2, box, box - 1);
    canvas.Brush()->SetColor(clBtnFace);
    canvas.FillRect(close);
    PaintEdge(canvas, close, false);
    canvas.Pen()->SetColor(clBtnText);
    for (int i = 0; i < 2; ++i) {
        canvas.MoveTo(close.Left + 4 + i, close.Top + 3);
        canvas.LineTo(close.Right - 4 + i, close.Bottom - 3);
        canvas.MoveTo(close.Right - 5 + i, close.Top + 3);
        canvas.LineTo(close.Left + 3 + i, close.Bottom - 3);
    }
    canvas.Font()->Assign(form.Font());
    canvas.Font()->SetStyle(fsBold);
    canvas.Font()->SetColor(form.Active() ? clCaptionText : clInactiveCaptionText);
    canvas.Brush()->SetStyle(bsClear);
    PaintTextInRect(canvas, Rect(bar.Left, bar.Top, close.Left - 2, bar.Bottom), form.Caption(),
                    taLeftJustify, 4);
    canvas.Brush()->SetStyle(bsSolid);
    form.PaintTo(canvas, x + FormFrameWidth, y + FormFrameWidth + FormCaptionHeight);
}

} // namespace orvel
