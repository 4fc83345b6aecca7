#pragma once

#include "swipe/BurstSplitter.h"
#include "swipe/DecodedSwipe.h"
#include "swipe/SwipeDecoder.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include <QDateTime>
#include <QDialog>
#include <QTimer>

class QCheckBox;
class QLabel;
class QSocketNotifier;
class QTableWidget;
class QTreeWidget;
class LayoutReadBack;
class SessionDriver;
class SettingsImage;
class SwipeCaptureField;
class SwipeListener;

// "Card swipe test": shows what the reader sends when a card is swiped, split into its tracks
// and fields, with the prefixes and suffixes the settings send marked. In RS232 mode it listens
// on the chosen port at the reader's speed; in Keyboard Wedge mode a capture field takes what the
// reader types. Card numbers show their first six and last four digits until "Show full card
// numbers" is ticked, which starts cleared at every opening. The window keeps its swipes in
// memory only, and forgets them when it closes.
class CardSwipeDialog : public QDialog {
    Q_OBJECT

public:
    // The settings as the pages hold them now decide the mode, the port, the speed and the lists
    // to mark; they are read once, here.
    explicit CardSwipeDialog(const SettingsImage& image, QWidget* parent = nullptr);
    ~CardSwipeDialog() override;
    CardSwipeDialog(const CardSwipeDialog&) = delete;
    CardSwipeDialog& operator=(const CardSwipeDialog&) = delete;

    // A swipe has ended: decode it, list it and show it.
    void addSwipe(const std::vector<std::uint8_t>& bytes);

private:
    struct Heard {
        QDateTime at;
        DecodedSwipe swipe;
    };

    void buildLayout();
    void buildList();
    // On RS232 the reader's own settings decide the marks: read back first, then listened to.
    void readReaderSettings(int port, const SettingsImage& image);
    void readerSettingsRead(int port, int pagesSpeed);
    void listenOnSerialPort(int port, int bitsPerSecond);
    void takeKeyboard(bool altMode);
    void bytesArrived();
    void codeTyped(int code);
    // Bytes from the reader, as they arrive: each swipe that ends with them is listed.
    void bytesHeard(std::span<const std::uint8_t> bytes);
    // Lists the swipes that have ended, and sets the timer for the one still pending.
    void listEndedSwipes();
    // Lists every pending swipe as ended: the reader has gone.
    void listRest();
    void listAndWipe(std::vector<std::uint8_t>& bytes);
    void fitScreen();
    void fillRow(int row);
    // A row as high as its codes need at the column's width.
    void fitRow(int row);
    void fitRows();
    // The selected row's card data in the selection's text colour, the others' in the list's.
    void markSelectedRow();
    void showSelected();
    void showNumbersChanged();
    void clearSwipes();
    bool showNumbers() const;

    SwipeDecoder decoder_;
    std::unique_ptr<LayoutReadBack> readBack_;
    std::unique_ptr<SessionDriver> driver_; // goes before the read-back it serves
    std::unique_ptr<SwipeListener> listener_;
    QSocketNotifier* notifier_ = nullptr;
    // Cuts the bytes into swipes at each quiet time; the timer wakes the window when the pending
    // swipe's quiet time is over.
    BurstSplitter bursts_;
    QTimer quiet_;
    std::vector<Heard> swipes_;

    QLabel* status_ = nullptr;
    SwipeCaptureField* capture_ = nullptr;
    QTableWidget* list_ = nullptr;
    QLabel* legend_ = nullptr;
    // Where the marks come from: the reader's settings, or the window's pages.
    QLabel* markedFrom_ = nullptr;
    QTreeWidget* details_ = nullptr;
    QCheckBox* showNumbers_ = nullptr;
};
