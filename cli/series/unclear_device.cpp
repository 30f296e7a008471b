#include "cli/series/unclear_device.h"

#include "cli/platform/answer.h"
#include "cli/platform/console.h"
#include "cli/platform/lock.h"
#include "cli/series/series_words.h"

namespace zav::cli {

namespace {

std::string what_is_seen(const PlanRow& held) {
    const std::string number = "Gerät " + std::to_string(held.device);
    return "Dieses Gerät hält die Konfiguration von " + row_name(held) + ", und " + number +
           " ist mit einem anderen Gerät erledigt.";
}

std::string why_unknown(const PlanRow& held) {
    return "Vorher wurde ein Gerät mit dieser Konfiguration beschrieben und nicht verifiziert: welches der Geräte "
           "das von Gerät " + std::to_string(held.device) + " ist, lässt sich nicht erkennen.";
}

}  // namespace

bool ask_to_give_row(const Reporter& reporter, const PlanRow& held, const PlanRow& taken) {
    if (reporter.json() || !input_is_terminal() || !is_terminal(Stream::kError)) return false;
    static Lock one_question;
    const Held asking(one_question);
    return reporter.ask(what_is_seen(held) + " " + why_unknown(held) + " Nur wenn es sicher nicht das Gerät von Gerät " +
                            std::to_string(held.device) + " ist, bekommt es " + row_name(taken) + ".",
                        "Mit " + row_name(taken) + " programmieren? [j/N] ");
}

Outcome left_for_the_user(const PlanRow& held) {
    return failure(kExitAttention, "Zu klären: " + what_is_seen(held),
                   why_unknown(held) + " Es bleibt, wie es ist.\nIst es das Gerät von Gerät " +
                       std::to_string(held.device) +
                       ": abklemmen, es ist fertig. Sonst braucht es eine offene Zeile: die Serie mit demselben "
                       "--log an einem Terminal fortsetzen (ohne --json) und es dort anschließen; zavctl fragt dann, "
                       "ob es sie bekommt.");
}

}  // namespace zav::cli
