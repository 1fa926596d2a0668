// One device's page: its WebSocket feeds the display, the state line and the journal, and
// carries the operator's keys. A dropped socket is opened again with back-off; an expired
// session goes to the login page.
"use strict";

(() => {
    const firstRetry_ms = 500;
    const lastRetry_ms = 10000;
    const refusedShown_ms = 5000;
    const name = new URLSearchParams(location.search).get("name") || "";
    const validName = /^[A-Za-z0-9_.-]{1,32}$/.test(name);
    const element = id => document.getElementById(id);

    let socket = null;
    let retry_ms = firstRetry_ms;
    let retryTimer = 0;
    let retryAt_ms = 0;
    let reconnecting = false;
    let missing = !validName;
    let state = null;
    let stateAt_ms = 0;
    let flags = null;
    let refusedText = "";
    let refusedTimer = 0;

    function secondsUntil(at_ms) {
        return Math.max(0, (at_ms - Date.now()) / 1000);
    }

    function renderState() {
        const linkState = element("link-state");
        if (missing) {
            linkState.dataset.state = "gone";
            linkState.textContent = Page.text("noDevice");
            return;
        }
        if (state === null) {
            linkState.textContent = Page.text("stateConnecting");
            return;
        }
        const retry = typeof state.retryInSeconds === "number"
            ? Math.max(0, state.retryInSeconds - (Date.now() - stateAt_ms) / 1000) : null;
        linkState.dataset.state = States.stateName(state.state);
        linkState.textContent = States.stateText(state.state, retry);
        element("identity").textContent = States.identityText(state.deviceName, state.identity);
        element("port").textContent = state.port ? States.portText(state.port, state.address, state.baud) : "";
    }

    function renderFlags() {
        const consoleElement = element("console");
        consoleElement.hidden = flags === null;
        if (flags !== null) {
            consoleElement.dataset.on = String(flags.consoleOn);
            consoleElement.textContent = Page.text(flags.consoleOn ? "consoleOnEvent" : "consoleOffEvent");
        }
        element("alarm").hidden = !(flags && flags.alarm);
    }

    function renderConnection() {
        element("connection").hidden = !reconnecting;
        // What the page shows of the device is from before the server went away.
        document.body.classList.toggle("stale", reconnecting);
        if (reconnecting) {
            element("connection-text").textContent = socket !== null
                ? Page.text("stateConnecting") : Page.text("reconnecting", Math.ceil(secondsUntil(retryAt_ms)));
        }
        element("refused").textContent = refusedText;
    }

    function render() {
        renderState();
        renderFlags();
        renderConnection();
    }

    function send(action, key) {
        if (socket && socket.readyState === WebSocket.OPEN)
            socket.send(JSON.stringify({[action]: key}));
    }

    function handle(message) {
        switch (message.type) {
        case "hello":
            retry_ms = firstRetry_ms;
            reconnecting = false;
            refusedText = "";
            Page.showUser(message);
            Journal.clear();
            Keypad.setEnabled(message.role === "operator");
            element("view-only").hidden = message.role === "operator";
            break;
        case "state":
            state = message;
            stateAt_ms = Date.now();
            break;
        case "glyphs":
            Display.setGlyphs(message.glyphs);
            break;
        case "screen":
            Display.setScreen(message);
            flags = {consoleOn: message.consoleOn !== false, alarm: message.alarm === true};
            Alarm.setSounding(flags.alarm);
            break;
        case "journal":
            Journal.add(message.entries);
            break;
        case "refused":
            refusedText = String(message.text);
            clearTimeout(refusedTimer);
            refusedTimer = setTimeout(() => {
                refusedText = "";
                render();
            }, refusedShown_ms);
            break;
        default:
            return;
        }
        render();
    }

    function scheduleRetry() {
        reconnecting = true;
        retryAt_ms = Date.now() + retry_ms;
        retryTimer = setTimeout(connect, retry_ms);
        retry_ms = Math.min(retry_ms * 2, lastRetry_ms);
        render();
    }

    // A refused upgrade looks to the page like any dropped socket: ask the server which it was.
    async function afterClose() {
        try {
            if (await Page.me() === null) {
                Page.goToLogin(true);
                return;
            }
            const reply = await fetch("/api/devices", {cache: "no-store"});
            if (reply.ok) {
                const devices = await reply.json();
                if (Array.isArray(devices) && !devices.some(device => device.name === name)) {
                    missing = true;
                    reconnecting = false;
                    render();
                    return;
                }
            }
        } catch (error) {
            // The server is away: keep trying.
        }
        scheduleRetry();
    }

    function connect() {
        clearTimeout(retryTimer);
        const scheme = location.protocol === "https:" ? "wss://" : "ws://";
        const opened = new WebSocket(scheme + location.host + "/ws/devices/" + encodeURIComponent(name));
        socket = opened;
        render();
        opened.addEventListener("message", event => {
            let message = null;
            try {
                message = JSON.parse(event.data);
            } catch (error) {
                return;
            }
            if (message !== null && typeof message === "object")
                handle(message);
        });
        opened.addEventListener("close", () => {
            if (socket !== opened)
                return;
            socket = null;
            Keypad.setEnabled(false);
            Alarm.setSounding(false);
            reconnecting = true;
            retryAt_ms = Date.now() + retry_ms;
            render();
            afterClose();
        });
    }

    element("name").textContent = name;
    Keypad.setSender(send);
    Keypad.setEnabled(false);
    const mute = element("mute");
    mute.checked = Alarm.muted();
    mute.addEventListener("change", () => Alarm.setMuted(mute.checked));
    Alarm.onBeepingChange(beeping => {
        element("alarm").dataset.beeping = String(beeping);
    });
    element("reconnect").addEventListener("click", () => {
        if (socket === null && !missing) {
            retry_ms = firstRetry_ms;
            connect();
        }
    });
    setInterval(() => {
        if (reconnecting || (state && typeof state.retryInSeconds === "number"))
            render();
    }, 1000);
    Page.onLanguageChange(render);
    Page.setUp().then(() => {
        render();
        if (!missing)
            connect();
    });
})();
