#pragma once

// What a simulated table answers to one command line, before it is framed and sent.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace Korvane {
namespace Simulator {

struct TableReply {
    char acknowledge =
        '$';                // '$' data, '!' accepted (a completion line follows), '&' NAK, '#' busy
    bool withError = true;  // whether the line carries an error character
    std::uint8_t error = 0;
    std::string data;
    // '!' replies: the completion line follows when the action has taken this long.
    std::chrono::microseconds actionTime{0};
    // The data block follows the line's header (up to the error character) this much later.
    std::chrono::microseconds dataDelay{0};
    // The table loses power while carrying out the command: no answer, it unplugs itself.
    bool powerFails = false;
    std::string event;  // a note for the wire transcript; empty for none

    static TableReply withData(const std::string& data) {
        TableReply reply;
        reply.data = data;
        return reply;
    }
    static TableReply done() { return TableReply(); }
    // A device error. Queries still send a data block of their usual length (all '0'), so
    // that the host can read the line and see the error value.
    static TableReply failed(std::uint8_t error, std::size_t dataLength = 0) {
        TableReply reply;
        reply.error = error;
        reply.data.assign(dataLength, '0');
        return reply;
    }
    static TableReply accepted(std::chrono::microseconds actionTime) {
        TableReply reply;
        reply.acknowledge = '!';
        reply.actionTime = actionTime;
        return reply;
    }
    static TableReply nak() { return bare('&'); }
    static TableReply busy() { return bare('#'); }

private:
    static TableReply bare(char acknowledge) {
        TableReply reply;
        reply.acknowledge = acknowledge;
        reply.withError = false;
        return reply;
    }
};

}  // namespace Simulator
}  // namespace Korvane
