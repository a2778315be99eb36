// The DDE conversation's decisions: state changes, the partner's messages and late answers.
#include "core/dde_conversation.h"

#include <utility>

namespace vorkel {

using State = DdeConversation::State;
using Event = DdeConversation::Event;

State DdeConversation::next(State state, Event event) noexcept {
    const bool open = state == State::Ready || state == State::Waiting || state == State::Answered;
    switch (event) {
        case Event::InitiateSent:
            return state == State::NotConnected ? State::Connecting : state;
        case Event::Connected:
            return state == State::Connecting ? State::Ready : state;
        case Event::NoServer:
            return state == State::Connecting ? State::NotConnected : state;
        case Event::RequestSent:
            return state == State::Ready ? State::Waiting : state;
        case Event::AnswerIn:
            return state == State::Waiting ? State::Answered : state;
        case Event::RequestDone:
            return state == State::Waiting || state == State::Answered ? State::Ready : state;
        case Event::GoodbyeSent:
            return open ? State::Closing : state;
        case Event::PartnerEnded:
        case Event::PartnerGone:
            return state == State::NotConnected ? state : State::Ended;
    }
    return state;
}

void DdeConversation::advance(Event event) noexcept {
    state_ = next(state_, event);
    if (event == Event::RequestSent || event == Event::RequestDone) {
        reply_.reset();
    }
    if (state_ == State::Ended) {
        backlog_.clear();  // nothing more will be answered
    }
}

bool DdeConversation::open() const {
    return state_ != State::NotConnected && state_ != State::Connecting && state_ != State::Ended;
}

bool DdeConversation::talking() const {
    return state_ == State::Ready || state_ == State::Waiting || state_ == State::Answered;
}

// --- Late answers ----------------------------------------------------------------------------

void DdeConversation::Backlog::start(Ticks now) noexcept {
    unanswered_ = 0;
    lastTakenAt_ = now;
    lateSinceTaken_ = false;
}

void DdeConversation::Backlog::requestSent(Ticks now) noexcept {
    // A server that answers, but only ever late, has most likely lost an answer (or answers
    // a request's worth behind): after a while its answers are believed again, or every later
    // answer would be counted as late for good. (Elapsed time by unsigned difference: right
    // across the tick count's wrap.)
    if (unanswered_ > 0 && lateSinceTaken_ &&
        static_cast<Ticks>(now - lastTakenAt_) > kForgetUnansweredMs) {
        unanswered_ = 0;
        lateSinceTaken_ = false;
    }
    ++unanswered_;
}

bool DdeConversation::Backlog::answerIn(bool awaited, Ticks now) noexcept {
    if (unanswered_ == 0) {
        return false;
    }
    if (--unanswered_ == 0 && awaited) {
        lastTakenAt_ = now;
        lateSinceTaken_ = false;
        return true;
    }
    lateSinceTaken_ = true;
    return false;
}

// --- What the partner sends ------------------------------------------------------------------

DdeConversation::ServerAnswer DdeConversation::serverAnswered(bool partnerChosen,
                                                              bool fromPartner) const noexcept {
    if (fromPartner) {
        return ServerAnswer::Nothing;
    }
    // One conversation is enough, and only one made while the initiate is out; the others are
    // ended politely.
    return state_ == State::Connecting && !partnerChosen ? ServerAnswer::Take
                                                         : ServerAnswer::SayGoodbye;
}

DdeConversation::Ack DdeConversation::ackIn(bool fromPartner, bool positive, Ticks now) noexcept {
    if (!fromPartner) {
        return Ack::Stray;
    }
    // A positive acknowledgement is no answer to a request: Wine's DDEML servers send one
    // after the data, naming the item with the very atom that came with the data, which was
    // deleted then. A negative one is the refusal.
    if (positive) {
        return Ack::Ignored;
    }
    if (!backlog_.answerIn(state_ == State::Waiting, now)) {
        ++answersIgnored_;
        return Ack::Late;
    }
    Reply refusal;
    refusal.refused = true;
    answered(std::move(refusal));
    return Ack::Refusal;
}

DdeConversation::DataActions DdeConversation::dataIn(bool fromPartner,
                                                     const std::optional<DataFlags>& flags,
                                                     bool receiverOwnsCopies, Ticks now) noexcept {
    DataActions actions;
    actions.take =
        flags && fromPartner && flags->response && backlog_.answerIn(state_ == State::Waiting, now);
    if (!actions.take) {
        ++answersIgnored_;
    }
    // The memory goes back by the rule its flags state: the receiver frees it when told to
    // (fRelease); otherwise the sender does, once it has the acknowledgement it asked for, or
    // when the conversation ends. A receiver that holds a copy of its own frees that copy
    // whatever the flags say.
    actions.free = (flags && flags->release) || receiverOwnsCopies;
    actions.acknowledge = flags && flags->ackRequested && fromPartner && talking();
    return actions;
}

void DdeConversation::answered(Reply reply) noexcept {
    reply_ = std::move(reply);
    advance(Event::AnswerIn);
}

bool DdeConversation::terminateIn(bool fromPartner) noexcept {
    if (!fromPartner || state_ == State::NotConnected || state_ == State::Ended) {
        return false;  // e.g. a second server answering our goodbye to it
    }
    // The partner ends the conversation: it is answered in kind and never made again.
    const bool answer = state_ != State::Closing;
    advance(Event::PartnerEnded);
    return answer;
}

// --- Connecting and asking -------------------------------------------------------------------

void DdeConversation::initiateOver(bool serverTook, Ticks now) noexcept {
    if (!serverTook) {
        advance(Event::NoServer);
        return;
    }
    advance(Event::Connected);
    backlog_.start(now);
}

std::optional<std::string_view> DdeConversation::whyCannotAsk(bool partnerGone) noexcept {
    switch (state_) {
        case State::Ready:
            break;
        // One request at a time is the conversation's own rule, whoever asks: the station's
        // entries never overlap, and a tool's requests need not go through the station.
        case State::Waiting:
        case State::Answered:
            return "another request is under way";
        case State::Closing:
        case State::Ended:
            return "the conversation has ended";
        case State::NotConnected:
        case State::Connecting:
            return "no conversation open";
    }
    return partnerGone ? std::optional(partnerVanished()) : std::nullopt;
}

void DdeConversation::requestSent(Ticks now) noexcept {
    backlog_.requestSent(now);
    advance(Event::RequestSent);
}

std::optional<std::string_view> DdeConversation::whyNoRecord(bool partnerGone) noexcept {
    // An answer that came before the partner ended the conversation still counts.
    if (reply_) {
        return reply_->refused ? std::optional<std::string_view>("refused by the tracking program")
                               : std::nullopt;
    }
    if (state_ == State::Ended) {
        return "the tracking program has ended the conversation";
    }
    if (partnerGone) {
        return partnerVanished();
    }
    return "no answer in time";
}

std::string_view DdeConversation::partnerVanished() noexcept {
    advance(Event::PartnerGone);
    return "the tracking program has gone";
}

}  // namespace vorkel
