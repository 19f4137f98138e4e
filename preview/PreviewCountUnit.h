#pragma once
// The progress window of a print job: pages sent so far out of the pages to send, and a button
// that cancels the job. Setting the value lets the window system catch up, so the windows stay
// painted during printing.

#include <QDialog>
#include <QImage>

class QLabel;
class QPushButton;
class TLabel3D;

// How a progress animation strip of 32 x 32 frames is shown: frame by frame, or as a
// 32-pixel window sliding along it; and in which direction along the strip.
enum class TViewPass { vp_Change, vp_Scroll };
enum class THorScroll { hs_LeftToRight, hs_RightToLeft };
enum class TVerScroll { vs_UpToDown, vs_DownToUp };

struct TAnimeStep {
    int Frame = 0;  // compared with the last frame shown
    int Offset = 0; // pixels along the strip
};
// The optional progress animation: a strip, how it is shown and its direction. The preview
// keeps one and hands it to the progress window of each print job.
class TAnimeSettings {
public:
    const QImage& AnimeBMP() const { return FAnimeBMP; }
    void SetAnimeBMP(const QImage& Value) { FAnimeBMP = Value.copy(); }
    void ClearAnime() { FAnimeBMP = QImage(); }
    TViewPass AnimeView() const { return FAnimeView; }
    void SetAnimeView(TViewPass Value) { FAnimeView = Value; }
    THorScroll HorScroll() const { return FHorScroll; }
    void SetHorScroll(THorScroll Value) { FHorScroll = Value; }
    TVerScroll VerScroll() const { return FVerScroll; }
    void SetVerScroll(TVerScroll Value) { FVerScroll = Value; }
    void SetAnime(const TAnimeSettings& Value) { *this = Value; }

protected:
    QImage FAnimeBMP;
    TViewPass FAnimeView = TViewPass::vp_Change;
    THorScroll FHorScroll = THorScroll::hs_LeftToRight;
    TVerScroll FVerScroll = TVerScroll::vs_UpToDown;
};

// The frame of a strip of Length pixels for Value pages of Count; false when the strip is too
// short or there is nothing to count.
bool AnimeStep(int Value, int Count, int Length, TViewPass View, bool Reversed, TAnimeStep& Step);

class TPreviewCountForm : public QDialog, public TAnimeSettings {
    Q_OBJECT
public:
    explicit TPreviewCountForm(QWidget* AOwner = nullptr);

    // Shows the window centred on the screen, without blocking.
    void Execute();
    int Value() const { return FPosition; }
    void SetValue(int Value);
    int Count() const { return FCount; }
    void SetCount(int Value);
    // The cancel button was pressed.
    bool Cancelled() const { return FCancelled; }

    QLabel* Image1 = nullptr;
    TLabel3D* Heading = nullptr;
    QLabel* PosLabel = nullptr;
    QLabel* CntLabel = nullptr;
    QPushButton* CancelButton = nullptr;

protected:
    void closeEvent(QCloseEvent* Event) override;
    void reject() override;

private:
    void ShowAnimeFrame();

    int FPosition = 0;
    int FCount = 0;
    int FViewBMP = -1;
    bool FVHType = false; // horizontal strip
    int FMaxSize = 0;
    bool FCancelled = false;
};
