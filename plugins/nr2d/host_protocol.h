// The filter-host protocol behind the "Process" entry, shared by both libraries: decodes each
// command into the message record kept for its code and answers into the reply record.
//
// Include only from files compiled for the baseline processor.
#pragma once

#include <cstdint>

#include "plugins/nr2d/noise_reduction_interface.h"

namespace quillset::noise_reduction {

// The settings the protocol filters with; the direct entries take theirs from the caller.
struct THostSettings {
    int32_t Strength = 100;
    int32_t Radius = 1;
    int32_t FieldMode = 1;
};

// The last decoded record of each command, as the library keeps them.
struct THostMessages {
    TNoiseReductionCommand Startup;
    TNoiseReductionCommand Init;
    TNoiseReductionCommand Lead;
    TNoiseReductionCommand Exec;
    TNoiseReductionCommand Done;
};

class THostSession {
public:
    explicit THostSession(uint32_t kind) : kind_(kind) {}

    const THostSettings& Settings() const { return settings_; }
    const THostMessages& Messages() const { return messages_; }

    // Answers one command. `execute(command, width, height)` filters the announced picture and
    // returns the rows written (0 when it could not filter).
    template <class Execute>
    int32_t Dispatch(const TNoiseReductionCommand* command, TNoiseReductionReply* reply, Execute&& execute) {
        TNoiseReductionReply answer;
        if (command == nullptr)
            return Answer(answer, NoiseReductionStatus_BadArgument, reply);
        answer.Code = command->Code;
        switch (command->Code) {
        case NoiseReductionCommand_Startup:
            messages_.Startup = *command;
            answer.Kind = kind_;
            answer.Strength = settings_.Strength;
            answer.Radius = settings_.Radius;
            answer.FieldMode = settings_.FieldMode;
            return Answer(answer, NoiseReductionStatus_Ok, reply);
        case NoiseReductionCommand_Init:
            messages_.Init = *command;
            messages_.Lead = TNoiseReductionCommand{};
            return Answer(answer, NoiseReductionStatus_Ok, reply);
        case NoiseReductionCommand_Lead:
            messages_.Lead = *command;
            if (command->Width < 1 || command->Height < 1) {
                messages_.Lead = TNoiseReductionCommand{};
                return Answer(answer, NoiseReductionStatus_NoPicture, reply);
            }
            return Answer(answer, NoiseReductionStatus_Ok, reply);
        case NoiseReductionCommand_Exec:
            messages_.Exec = *command;
            if (messages_.Lead.Width < 1 || messages_.Lead.Height < 1)
                return Answer(answer, NoiseReductionStatus_NoPicture, reply);
            if (command->Destination == nullptr)
                return Answer(answer, NoiseReductionStatus_BadArgument, reply);
            answer.Rows = execute(*command, messages_.Lead.Width, messages_.Lead.Height);
            return Answer(answer, answer.Rows > 0 ? NoiseReductionStatus_Ok : NoiseReductionStatus_Unavailable, reply);
        case NoiseReductionCommand_Done:
            messages_.Done = *command;
            messages_.Lead = TNoiseReductionCommand{};
            return Answer(answer, NoiseReductionStatus_Ok, reply);
        default:
            return Answer(answer, NoiseReductionStatus_UnknownCommand, reply);
        }
    }

private:
    int32_t Answer(TNoiseReductionReply& answer, int32_t status, TNoiseReductionReply* reply) const {
        answer.Status = status;
        answer.Width = messages_.Lead.Width;
        answer.Height = messages_.Lead.Height;
        if (reply != nullptr)
            *reply = answer;
        return status;
    }

    uint32_t kind_;
    THostSettings settings_;
    THostMessages messages_;
};

// The answer when a library has no filter object.
inline int32_t AnswerUnavailable(const TNoiseReductionCommand* command, TNoiseReductionReply* reply) {
    if (reply != nullptr) {
        *reply = TNoiseReductionReply{};
        reply->Code = command != nullptr ? command->Code : 0;
        reply->Status = NoiseReductionStatus_Unavailable;
    }
    return NoiseReductionStatus_Unavailable;
}

} // namespace quillset::noise_reduction
