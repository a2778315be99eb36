// Any tracking record, however malformed, goes through the whole tick's logic without a crash
// and yields only well-formed commands. The same bytes, read as the messages and steps of a DDE
// conversation, never make it take an answer that no request awaits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/dde_conversation.h"
#include "core/number_text.h"
#include "core/pointing.h"
#include "core/tracking_record.h"

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool beginsNumber(wchar_t c) {
    return (c >= L'0' && c <= L'9') || c == L'-' || c == L'+' || c == L'.';
}

// A rotor command is "Waaa eee" and CR, three digits each, azimuth 000..359, elevation 000..180.
void checkCommand(const std::wstring& command) {
    require(command.size() == 9 && command[0] == L'W' && command[4] == L' ' && command[8] == L'\r');
    int azimuth = 0;
    int elevation = 0;
    for (std::size_t k = 0; k < 3; ++k) {
        require(command[1 + k] >= L'0' && command[1 + k] <= L'9');
        require(command[5 + k] >= L'0' && command[5 + k] <= L'9');
        azimuth = azimuth * 10 + (command[1 + k] - L'0');
        elevation = elevation * 10 + (command[5 + k] - L'0');
    }
    require(azimuth <= 359 && elevation <= 180);
}

// Each byte one thing that happens to the conversation, its time a few milliseconds on.
void converse(const std::uint8_t* data, std::size_t size) {
    using vorkel::DdeConversation;
    using State = DdeConversation::State;
    DdeConversation c;
    DdeConversation::Ticks now = 0xFFFFF000u;  // the tick count's wrap comes early on
    for (std::size_t k = 0; k < size; ++k) {
        const unsigned byte = data[k];
        now += (byte >> 4) * 700u;  // up to 10.5 s a step: late answers get forgotten
        const bool partner = (byte & 8) != 0;
        const State before = c.state();
        const int ignored = c.answersIgnored();
        const bool talking =
            before == State::Ready || before == State::Waiting || before == State::Answered;
        bool taken = false;
        switch (byte & 7) {
            case 0: {
                // A server becomes the partner only while the initiate is out.
                const auto takes = [&c] {
                    return c.serverAnswered(false, false) == DdeConversation::ServerAnswer::Take;
                };
                require(!takes());
                c.initiateSent();
                require(takes() == (c.state() == State::Connecting));
                c.initiateOver(partner, now);
                break;
            }
            case 1:
                if (!c.whyCannotAsk(false)) {
                    c.requestSent(now);
                }
                break;
            case 2: {
                const DdeConversation::DataFlags flags{
                    .response = true, .release = partner, .ackRequested = true};
                const DdeConversation::DataActions actions = c.dataIn(true, flags, false, now);
                // Nothing is acknowledged once a goodbye is out, either way.
                require(actions.acknowledge == talking);
                taken = actions.take;
                if (taken) {
                    c.answered({});
                }
                break;
            }
            case 3: {
                const DdeConversation::Ack ack = c.ackIn(partner, false, now);
                require((ack == DdeConversation::Ack::Stray) == !partner);
                taken = ack == DdeConversation::Ack::Refusal;
                break;
            }
            case 4:
                c.requestDone();
                break;
            case 5:
                (void)c.terminateIn(partner);
                break;
            case 6:
                c.goodbyeSent();
                break;
            default:
                (void)c.whyNoRecord(partner);
                break;
        }
        // Only a waiting request takes an answer, and it holds it until the next one.
        require(!taken || (before == State::Waiting && c.state() == State::Answered));
        require(c.answersIgnored() >= ignored);
        require(c.state() != State::Answered || c.reply().has_value());
        require(c.open() == (c.state() == State::Ready || c.state() == State::Waiting ||
                             c.state() == State::Answered || c.state() == State::Closing));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Two bytes a character, as the record arrives in UTF-16 from the link.
    std::wstring record;
    for (std::size_t k = 0; k + 1 < size; k += 2) {
        record += static_cast<wchar_t>(data[k] | (data[k + 1] << 8));
    }
    const vorkel::ParsedRecord parsed = vorkel::parseTrackingRecord(record);
    require(parsed.fieldsCut >= 0 && parsed.fieldsCut <= 5);
    require(parsed.failed == (parsed.fieldsCut < 5));
    const vorkel::TrackingRecord& r = parsed.record;
    for (const std::wstring* value : {&r.name, &r.azimuth, &r.elevation, &r.downlink, &r.uplink}) {
        require(value->size() <= record.size());
    }
    // A name keeps no padding, and runs up to the azimuth field at the latest.
    if (parsed.fieldsCut >= 1) {
        require(r.name.empty() || r.name.back() != L' ');
        for (std::size_t at = r.name.find(L" AZ"); at != std::wstring::npos;
             at = r.name.find(L" AZ", at + 1)) {
            require(at + 3 == r.name.size() || !beginsNumber(r.name[at + 3]));
        }
    }

    if (const auto mirror = vorkel::mirrorPosition(r.azimuth, r.elevation)) {
        if (const auto command = vorkel::pointCommand(mirror->azimuth, mirror->elevation)) {
            checkCommand(*command);
        }
    }
    if (const auto command = vorkel::pointCommand(r.azimuth, r.elevation)) {
        checkCommand(*command);
    }
    // A number written by the station reads back as itself to 15 significant digits.
    if (const auto number = vorkel::numberFromText(record)) {
        const auto again = vorkel::numberFromText(vorkel::textFromNumber(*number));
        require(again.has_value());
        const double scale = *number < 0 ? -*number : *number;
        const double difference = *again - *number;
        require((difference < 0 ? -difference : difference) <= scale * 1e-14);
    }
    converse(data, size);
    return 0;
}
