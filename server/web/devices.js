// The device list, asked again every two seconds; each device keeps its card, so a refresh
// does not take the focus off a link.
"use strict";

(() => {
    const refresh_ms = 2000;
    const list = document.getElementById("devices");
    const problem = document.getElementById("problem");
    const empty = document.getElementById("empty");
    const cards = new Map();
    let devices = null;
    let failing = false;

    function field(card, name) {
        return card.querySelector("[data-field=\"" + name + "\"]");
    }

    function makeCard(name) {
        const card = document.createElement("li");
        card.className = "card device";
        card.dataset.name = name;
        const link = document.createElement("a");
        link.className = "name";
        link.href = "/device.html?name=" + encodeURIComponent(name);
        link.textContent = name;
        card.append(link);
        for (const [fieldName, className] of [["state", "state"], ["port", "detail"], ["identity", "detail"],
                                              ["console", "badge"], ["alarm", "badge alarm"]]) {
            const element = document.createElement("span");
            element.className = className;
            element.dataset.field = fieldName;
            card.append(element);
        }
        return card;
    }

    function fill(card, device) {
        const state = States.stateName(device.state);
        const stateElement = field(card, "state");
        stateElement.dataset.state = state;
        stateElement.textContent = States.stateText(state, device.retryInSeconds);
        field(card, "port").textContent = States.portText(device.port, device.address, device.baud);
        field(card, "identity").textContent = States.identityText(device.deviceName, device.identity);
        const consoleOff = field(card, "console");
        consoleOff.hidden = device.consoleOn !== false;
        consoleOff.textContent = Page.text("consoleOff");
        const alarm = field(card, "alarm");
        alarm.hidden = device.alarm !== true;
        alarm.textContent = Page.text("alarm");
    }

    function render() {
        problem.textContent = failing ? Page.text("noServer") : "";
        if (devices === null)
            return;
        const names = new Set(devices.map(device => String(device.name)));
        for (const [name, card] of cards) {
            if (!names.has(name)) {
                card.remove();
                cards.delete(name);
            }
        }
        devices.forEach((device, index) => {
            const name = String(device.name);
            let card = cards.get(name);
            if (!card) {
                card = makeCard(name);
                cards.set(name, card);
            }
            fill(card, device);
            // Moving a node that is already in place would take the focus off its link.
            if (list.children[index] !== card)
                list.insertBefore(card, list.children[index] || null);
        });
        empty.hidden = devices.length > 0;
    }

    async function refresh() {
        try {
            if (!document.hidden) {
                const reply = await fetch("/api/devices", {cache: "no-store"});
                if (reply.status === 401) {
                    Page.goToLogin(true);
                    return;
                }
                if (!reply.ok)
                    throw new Error(String(reply.status));
                const answer = await reply.json();
                devices = Array.isArray(answer) ? answer : [];
                failing = false;
            }
        } catch (error) {
            failing = true;
        }
        render();
        setTimeout(refresh, refresh_ms);
    }

    Page.onLanguageChange(render);
    Page.setUp().then(async () => {
        try {
            const user = await Page.me();
            if (user === null) {
                Page.goToLogin(true);
                return;
            }
            Page.showUser(user);
        } catch (error) {
            failing = true;
        }
        refresh();
    });
})();
