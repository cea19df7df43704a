// fuzz-links: trov_plugin
// Reads arbitrary text as a plug-in specification and as a document of saved parameter values: builds a
// settings tree from it, drives every parameter it made through its text and normalised forms, and
// restores a fixed tree's values of every scope from it.
#include "framework/Dictionary.h"
#include "plugin/Parameter.h"
#include "plugin/Settings.h"

#include <cstdint>
#include <string>

namespace {

const char* const kReference = "<?xml version=\"1.0\"?><dict><array name=\"parameters\">"
                               "<dict name=\"Gain\"><string name=\"class\" value=\"ParameterValue\"/><string "
                               "name=\"type\" value=\"float\"/>"
                               "<string name=\"scope\" value=\"module\"/></dict>"
                               "<dict name=\"Key\"><string name=\"class\" value=\"ParameterValue\"/><string "
                               "name=\"type\" value=\"integer\"/>"
                               "<string name=\"scope\" value=\"zone\"/></dict>"
                               "<dict name=\"On\"><string name=\"class\" value=\"ParameterValue\"/><string "
                               "name=\"type\" value=\"bool\"/>"
                               "</dict>"
                               "<dict name=\"Mode\"><string name=\"class\" value=\"ParameterEnum\"/><string "
                               "name=\"type\" value=\"string\"/>"
                               "<string name=\"scope\" value=\"program\"/><array name=\"values\"><string "
                               "value=\"a\"/><string value=\"b\"/>"
                               "</array></dict>"
                               "<dict name=\"Path\"><string name=\"class\" value=\"ParameterText\"/></dict>"
                               "<dict name=\"List\"><string name=\"class\" value=\"ParameterArray\"/><string "
                               "name=\"type\" value=\"custom\"/>"
                               "</dict>"
                               "<dict name=\"Note\"><string name=\"class\" "
                               "value=\"ParameterCustom\"/><string name=\"type\" value=\"custom\"/>"
                               "</dict></array></dict>";

void exercise(trov::Settings& settings) {
    for (int i = 0; i < settings.getParameterCount() && i < 256; ++i) {
        trov::Parameter* parameter = settings.getParameterAt(i);
        const std::string text = parameter->getText();
        parameter->setText(text, trov::Sender::kEditor);
        parameter->setNormalized(0.5f, trov::Sender::kHost);
        parameter->getStepSize();
        parameter->getNumSteps();
        parameter->setNormalized(parameter->getNormalized(), trov::Sender::kHost);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static trov::Settings* reference = [] {
        auto* settings = new trov::Settings();
        settings->load(trov::Dictionary(std::string(kReference)));
        return settings;
    }();

    trov::Dictionary document;
    document.parse(std::string(reinterpret_cast<const char*>(data), size));

    trov::Settings settings;
    if (!settings.load(document).failed())
        exercise(settings);
    for (std::int32_t scope = 0; scope < 4; ++scope) {
        reference->loadParameters(document, scope);
        settings.loadParameters(document, scope);
        trov::Dictionary saved;
        settings.saveParameters(saved, scope);
        reference->saveParameters(saved, scope);
    }
    trov::Settings copy(settings);
    exercise(copy);
    return 0;
}
