// A device's link state, its retry time and its port in words: the device list and the
// device page say them alike.
"use strict";

const States = (() => {
    function stateName(state) {
        return ["connecting", "live", "silent", "gone"].includes(state) ? state : "connecting";
    }

    function stateWords(state) {
        switch (stateName(state)) {
        case "live":
            return Page.text("stateLive");
        case "silent":
            return Page.text("stateSilent");
        case "gone":
            return Page.text("stateGone");
        default:
            return Page.text("stateConnecting");
        }
    }

    // retryInSeconds: null or absent while no retry is pending.
    function stateText(state, retryInSeconds) {
        const words = stateWords(state);
        if (typeof retryInSeconds !== "number" || !(retryInSeconds >= 0))
            return words;
        return words + " · " + Page.text("retryIn", Math.ceil(retryInSeconds));
    }

    function portText(port, address, baud) {
        return Page.text("portAddress", port, address) + Page.text("baud", baud);
    }

    // The device's own name and its identity line, without saying the name twice.
    function identityText(deviceName, identity) {
        if (!identity)
            return deviceName || "";
        if (!deviceName || identity.startsWith(deviceName))
            return identity;
        return deviceName + " — " + identity;
    }

    return {stateName, stateText, portText, identityText};
})();
