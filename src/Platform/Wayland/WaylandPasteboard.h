#pragma once

#include "Platform/Pasteboard.h"

#include <QHash>
#include <QObject>
#include <functional>

struct zwlr_data_control_device_v1;
struct zwlr_data_control_offer_v1;
struct zwlr_data_control_source_v1;

namespace quillo {

class WaylandConnection;

// The clipboard of a wlroots (or KDE) compositor through the data-control protocol, which,
// unlike the toolkit's clipboard, works while another application has the focus.
//
// Every selection the compositor announces counts as a change, ours included. Changes of the
// primary selection (an editor selecting text, as after Select All) are counted apart, where the
// compositor announces them. Both wake the observer. The clipboard
// holds one item whose types are the MIME types the owner offers; each is read through a pipe
// within `readTimeLimitMilliseconds` (an owner that never answers a type, as GTK does for
// SAVE_TARGETS, costs that long once; SAVE_TARGETS is not even asked). What we write stays
// offered, served from our copy, until another program takes the selection.
class WaylandPasteboard final : public QObject, public Pasteboard {
    Q_OBJECT
public:
    static constexpr int readTimeLimitMilliseconds = 500;
    static constexpr int writeTimeLimitMilliseconds = 2000;

    explicit WaylandPasteboard(WaylandConnection& connection, QObject* parent = nullptr);
    ~WaylandPasteboard() override;
    WaylandPasteboard(const WaylandPasteboard&) = delete;
    WaylandPasteboard& operator=(const WaylandPasteboard&) = delete;

    bool isAvailable() const { return device_ != nullptr; }

    qint64 changeCount() const override;
    qint64 clearContents() override;
    std::optional<int> itemCount() const override;
    QStringList types(int item) const override;
    std::optional<QByteArray> data(int item, const QString& type) const override;
    std::optional<QString> string(const QString& type) const override;
    bool writeItems(const QList<PasteboardItem>& items) override;
    std::optional<qint64> selectionChangeCount() const override;
    void observeChanges(const std::function<void()>& observer) override { observer_ = observer; }

    // Targets that carry no content of their own, or that owners never answer.
    static bool isBookkeepingType(const QString& type);
    // The types to read for plain text, best first: UTF8_STRING holds the text as the owner
    // does; GTK writes text/plain with CR LF line ends.
    static QStringList plainTextTypes();
    // What a write offers: the items' types, merged into one item, plus the toolkits' text
    // types when the text comes under text/plain alone.
    static QList<std::pair<QString, QByteArray>> offeredValues(const QList<PasteboardItem>& items);

private:
    friend struct WaylandPasteboardListeners;
    void addOffer(zwlr_data_control_offer_v1* offer);
    void offerType(zwlr_data_control_offer_v1* offer, const char* type);
    void setSelection(zwlr_data_control_offer_v1* offer);
    void setPrimarySelection(zwlr_data_control_offer_v1* offer);
    void deviceFinished();
    void serve(zwlr_data_control_source_v1* source, const char* type, int fd);
    void sourceCancelled(zwlr_data_control_source_v1* source);
    // Handles what the compositor sent; the clipboard may have changed meanwhile.
    void synchronize() const;
    std::optional<QByteArray> read(const QString& type) const;
    bool offer(const QList<std::pair<QString, QByteArray>>& values);

    WaylandConnection& connection_;
    zwlr_data_control_device_v1* device_ = nullptr;
    // Offers still being described, with the types announced so far.
    QHash<zwlr_data_control_offer_v1*, QStringList> pendingOffers_;
    zwlr_data_control_offer_v1* selection_ = nullptr;
    QStringList selectionTypes_;
    zwlr_data_control_source_v1* source_ = nullptr; // ours, while it holds the selection
    QList<std::pair<QString, QByteArray>> served_;
    qint64 changeCount_ = 1;
    qint64 primarySelectionChanges_ = 0;
    std::function<void()> observer_;
};

} // namespace quillo
