#include "gui/controls/ControlBitmap.h"

#include "framework/Dictionary.h"
#include "gui/Bitmap.h"
#include "gui/Canvas.h"

#include <utility>
#include <vector>

namespace trov {

ControlBitmap::ControlBitmap(Editor* editor, Bitmap* background, const Rect& bounds)
    : Control(editor, bounds) {
    setBackgroundBitmap(background);
    setSize(bounds);
    clearFlags(kEditable);
    clearFlags(kShowValue);
}

ControlBitmap::~ControlBitmap() {
    for (auto& [parameter, shown] : bitmapsByParameter_) {
        tuneOut(parameter);
        giveBack(shown.bitmap);
    }
}

bool ControlBitmap::fromDictionary(const Dictionary& spec) {
    Control::fromDictionary(spec);
    std::string id;
    // A name that is no skin leaves the background given by "background".
    if (spec.getString("id", &id))
        if (Bitmap* skin = takeBitmap(id))
            setBackgroundBitmap(skin);
    if (const Bitmap* background = getBackgroundBitmap())
        if (getLocalRect().getWidth() == 0 || getLocalRect().getHeight() == 0)
            setSize(background->getBounds());
    if (const Dictionary::View list = spec.getArray("bitmaps")) {
        std::vector<std::pair<std::string, std::string>> pairs;
        const int count = list->count("string");
        for (int i = 0; i < count; ++i)
            if (const Dictionary::View entry = list->getChild(i, "string"))
                pairs.emplace_back(entry->getAttribute("display"), entry->getAttribute("value"));
        // The whole table first: a parameter answers a new listener at once, and later notifications may
        // come from other threads.
        for (const auto& [parameter, name] : pairs) {
            Shown& shown = bitmapsByParameter_[parameter];
            if (shown.name != name || shown.bitmap == nullptr) {
                giveBack(shown.bitmap);
                shown = Shown{name, takeBitmap(name)};
            }
        }
        for (const auto& [parameter, name] : pairs)
            tuneIn(parameter);
    }
    return true;
}

bool ControlBitmap::receive(const Message& message) {
    if (message.kind == kKindParameter) {
        const auto* change = dynamic_cast<const ParameterMessage*>(&message);
        if (change == nullptr || change->code != Code::kParameterValue)
            return true;
        const auto found = bitmapsByParameter_.find(change->name);
        Bitmap* bitmap = found != bitmapsByParameter_.end() ? found->second.bitmap : nullptr;
        if ((change->extra & 0xFF) != 0)
            current_.store(bitmap, std::memory_order_release);
        else
            current_.compare_exchange_strong(bitmap, nullptr, std::memory_order_acq_rel);
        setNeedsRedraw(true);
        return true;
    }
    if (message.kind == kKindWindow &&
        (message.code == 3000 || message.code == 3002 || message.code == 3003 || message.code == 3005))
        return true;
    return Control::receive(message);
}

void ControlBitmap::paintBackground(Canvas& canvas, const Rect& /*area*/) {
    if (Bitmap* bitmap = getCurrentBitmap())
        canvas.drawBitmap(bitmap, bitmap->getBounds(), bitmap->getBounds());
}

} // namespace trov
