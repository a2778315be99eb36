// Fakes that journal every call; see fake_station.h.
#include "fake_station.h"

#include <new>

namespace vorkel::testing {
namespace {

const char* name(Field field) {
    switch (field) {
        case Field::Label1:
            return "Label1";
        case Field::txt_nombre:
            return "txt_nombre";
        case Field::txt_azi:
            return "txt_azi";
        case Field::txt_ele:
            return "txt_ele";
        case Field::txt_down:
            return "txt_down";
        case Field::txt_up:
            return "txt_up";
        case Field::txt_iazi:
            return "txt_iazi";
        case Field::txt_iele:
            return "txt_iele";
    }
    return "?";
}

const char* name(Surface surface) {
    switch (surface) {
        case Surface::Form1:
            return "Form1";
        case Surface::Opt_normal:
            return "Opt_normal";
        case Surface::Opt_invertido:
            return "Opt_invertido";
        case Surface::chk_update:
            return "chk_update";
        case Surface::Label1:
            return "Label1";
    }
    return "?";
}

const char* name(Frame frame) {
    switch (frame) {
        case Frame::Frame1:
            return "Frame1";
        case Frame::Frame2:
            return "Frame2";
        case Frame::Frame3:
            return "Frame3";
    }
    return "?";
}

}  // namespace

std::string narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        out += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return out;
}

FakeView::FakeView(Journal& journal) : journal_(journal) {}

std::wstring FakeView::fieldText(Field field) const {
    const auto found = texts.find(field);
    return found == texts.end() ? std::wstring() : found->second;
}
void FakeView::setFieldText(Field field, const std::wstring& text) {
    texts[field] = text;
    journal_.push_back(std::string(name(field)) + "=" + narrow(text));
}
void FakeView::setTextColour(Field field, Colour colour) {
    elevationColour = colour;
    journal_.push_back(std::string("colour ") + name(field) + "=" + std::to_string(colour));
}
void FakeView::setRawTextBold(bool value) {
    bold = value;
    journal_.push_back(value ? "bold" : "regular");
}
void FakeView::untickSend() {
    ticked = false;
    journal_.push_back("untick");
}
void FakeView::raiseTopmost() {
    journal_.push_back("topmost");
}
void FakeView::moveToScreenTop() {
    journal_.push_back("screen top");
}
void FakeView::setBackground(Surface surface, Colour colour) {
    journal_.push_back(std::string("background ") + name(surface) + "=" + std::to_string(colour));
}
void FakeView::disableFrame(Frame frame) {
    journal_.push_back(std::string("disable ") + name(frame));
}
void FakeView::showFailure(const std::string& reason) {
    if (!reason.empty() && failureDisplayThrows > 0) {
        --failureDisplayThrows;
        throw std::bad_alloc();
    }
    failureShown = !reason.empty();
    failureReason = reason;
    journal_.push_back(failureShown ? "title failed" : "title ok");
}

void FakeView::closeWindow() {
    journal_.push_back("close window");
}

FakeLink::FakeLink(Journal& journal) : journal_(journal) {}

Status FakeLink::setTopic(const std::wstring& applicationAndTopic) {
    journal_.push_back("topic " + narrow(applicationAndTopic));
    return Status::success();
}
Status FakeLink::setItem(const std::wstring& item) {
    journal_.push_back("item " + narrow(item));
    return Status::success();
}
Status FakeLink::openManual() {
    journal_.push_back("open link");
    return openFails ? Status::failure("no tracking program") : Status::success();
}
Status FakeLink::request(std::wstring& record) {
    journal_.push_back("request");
    if (duringRequest) {
        duringRequest();
    }
    if (replies.empty()) {
        return Status::failure("no answer");
    }
    record = replies.front();
    replies.pop_front();
    return Status::success();
}

FakePort::FakePort(Journal& journal) : journal_(journal) {}

Status FakePort::configure(int portNumber, const std::wstring& settings) {
    journal_.push_back("configure " + std::to_string(portNumber) + " " + narrow(settings));
    return configureFails ? Status::failure("settings") : Status::success();
}
Status FakePort::open() {
    journal_.push_back("open port");
    if (openFails) {
        return Status::failure("no port");
    }
    open_ = true;
    return Status::success();
}
Status FakePort::write(const std::wstring& text) {
    journal_.push_back("write " + narrow(text));
    if (writeFails || !open_) {
        return Status::failure("write");
    }
    written.push_back(narrow(text));
    return Status::success();
}
Status FakePort::drain() {
    journal_.push_back("drain port");
    return drainFails ? Status::failure("drain") : Status::success();
}
void FakePort::close() {
    open_ = false;
    journal_.push_back("close port");
}

FakeTimer::FakeTimer(Journal& journal) : journal_(journal) {}

Status FakeTimer::setPeriod(unsigned milliseconds) {
    period = milliseconds;
    journal_.push_back("period " + std::to_string(milliseconds));
    return Status::success();
}

}  // namespace vorkel::testing
