// The alarm's beep: short and repeated while the device sounds it, unless muted. Browsers let a
// page make sound only after the user touched it, so the audio starts with the first gesture.
"use strict";

const Alarm = (() => {
    const muteKey = "vpanel.mute";
    const period_ms = 1000;
    const beep_s = 0.15;
    const pitch_hz = 880;
    let audio = null;
    let sounding = false;
    let muted = localStorage.getItem(muteKey) === "1";
    let timer = null;
    const listeners = [];

    function beep() {
        if (!audio || audio.state !== "running")
            return;
        const start = audio.currentTime;
        const tone = audio.createOscillator();
        const volume = audio.createGain();
        tone.type = "square";
        tone.frequency.value = pitch_hz;
        volume.gain.setValueAtTime(0.15, start);
        volume.gain.exponentialRampToValueAtTime(0.001, start + beep_s);
        tone.connect(volume).connect(audio.destination);
        tone.start(start);
        tone.stop(start + beep_s);
    }

    function update() {
        const beeping = sounding && !muted && audio !== null;
        if (beeping && timer === null) {
            beep();
            timer = setInterval(beep, period_ms);
        } else if (!beeping && timer !== null) {
            clearInterval(timer);
            timer = null;
        }
        listeners.forEach(listener => listener(timer !== null));
    }

    function unlock() {
        const AudioContext = window.AudioContext || window.webkitAudioContext;
        if (!audio && AudioContext)
            audio = new AudioContext();
        if (audio && audio.state === "suspended")
            audio.resume();
        update();
    }
    for (const gesture of ["pointerdown", "keydown"])
        document.addEventListener(gesture, unlock, {capture: true});

    return {
        setSounding(on) {
            sounding = on;
            update();
        },
        setMuted(on) {
            muted = on;
            localStorage.setItem(muteKey, on ? "1" : "0");
            update();
        },
        muted: () => muted,
        onBeepingChange: listener => listeners.push(listener),
    };
})();
