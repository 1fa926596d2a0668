// The device's keys for operators: a click taps a key, holding a button (mouse or finger)
// presses it until let go, and the PC keyboard presses and releases as its keys go down and up.
// Nothing stays held when the page loses the focus or is hidden.
"use strict";

const Keypad = (() => {
    const hold_ms = 350;
    const keyboardKeys = {
        ArrowUp: "Up", ArrowDown: "Down", ArrowLeft: "Left", ArrowRight: "Right",
        Enter: "Enter", Escape: "Esc", Backspace: "Esc", F1: "F1", F2: "F2",
    };
    const buttons = Array.from(document.querySelectorAll("#keypad [data-key]"));
    const heldByKeyboard = new Map();      // physical key -> device key
    const heldByPointer = new Map();       // pointer id -> {key, timer, held}
    let send = () => {};
    let enabled = false;

    function keyOf(event) {
        if (/^[0-9]$/.test(event.key))
            return event.key;
        return Object.prototype.hasOwnProperty.call(keyboardKeys, event.key) ? keyboardKeys[event.key] : null;
    }

    function heldElsewhere(key) {
        return Array.from(heldByKeyboard.values()).includes(key);
    }

    function releaseAll() {
        for (const hold of heldByPointer.values()) {
            clearTimeout(hold.timer);
            if (hold.held)
                send("release", hold.key);
        }
        heldByPointer.clear();
        const keys = new Set(heldByKeyboard.values());
        heldByKeyboard.clear();
        keys.forEach(key => send("release", key));
    }

    function endHold(event, tapIfShort) {
        const hold = heldByPointer.get(event.pointerId);
        if (!hold)
            return;
        heldByPointer.delete(event.pointerId);
        clearTimeout(hold.timer);
        if (hold.held)
            send("release", hold.key);
        else if (tapIfShort)
            send("tap", hold.key);
    }

    for (const button of buttons) {
        const key = button.dataset.key;
        button.addEventListener("pointerdown", event => {
            if (!enabled || event.button !== 0)
                return;
            // No focus on the button: Enter on the keyboard must reach the device, not click it.
            event.preventDefault();
            button.setPointerCapture(event.pointerId);
            const hold = {key, held: false, timer: 0};
            hold.timer = setTimeout(() => {
                hold.held = true;
                send("press", key);
            }, hold_ms);
            heldByPointer.set(event.pointerId, hold);
        });
        button.addEventListener("pointerup", event => endHold(event, true));
        button.addEventListener("pointercancel", event => endHold(event, false));
        button.addEventListener("lostpointercapture", event => endHold(event, false));
        // A button worked from the keyboard (Space) clicks without a pointer.
        button.addEventListener("click", event => {
            if (enabled && event.detail === 0)
                send("tap", key);
        });
    }
    document.getElementById("keypad").addEventListener("contextmenu", event => event.preventDefault());

    document.addEventListener("keydown", event => {
        const key = keyOf(event);
        if (!enabled || key === null || event.ctrlKey || event.altKey || event.metaKey)
            return;
        if (event.target instanceof Element && event.target.closest("a, input[type=text], textarea"))
            return;
        event.preventDefault();
        const physical = event.code || event.key;
        if (event.repeat || heldByKeyboard.has(physical))
            return;
        const already = heldElsewhere(key);
        heldByKeyboard.set(physical, key);
        if (!already)
            send("press", key);
    });
    document.addEventListener("keyup", event => {
        const physical = event.code || event.key;
        const key = heldByKeyboard.get(physical);
        if (key === undefined)
            return;
        event.preventDefault();
        heldByKeyboard.delete(physical);
        if (!heldElsewhere(key))
            send("release", key);
    });
    window.addEventListener("blur", releaseAll);
    document.addEventListener("visibilitychange", () => {
        if (document.hidden)
            releaseAll();
    });

    return {
        // sender(action, key) with action "tap", "press" or "release".
        setSender(sender) {
            send = sender;
        },
        setEnabled(on) {
            if (!on)
                releaseAll();
            enabled = on;
            buttons.forEach(button => {
                button.disabled = !on;
            });
        },
        releaseAll,
    };
})();
