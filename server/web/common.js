// What every page shares: its words from the server's catalogue, the language switch, the
// signed-in user and logging out.
"use strict";

const Page = (() => {
    const languageKey = "vpanel.language";
    const languageListeners = [];
    let words = {};

    function language() {
        return localStorage.getItem(languageKey) === "en" ? "en" : "ru";
    }

    // The catalogue's own placeholders: %1, %2 ... filled in one pass, so an argument holding
    // "%2" stays as it is.
    function text(key, ...args) {
        const pattern = Object.prototype.hasOwnProperty.call(words, key) ? words[key] : key;
        return pattern.replace(/%(\d)/g, (whole, digit) => {
            const index = Number(digit) - 1;
            return index >= 0 && index < args.length ? String(args[index]) : whole;
        });
    }

    function applyTexts(root) {
        for (const element of root.querySelectorAll("[data-text]"))
            element.textContent = text(element.dataset.text);
        for (const element of root.querySelectorAll("[data-text-label]"))
            element.setAttribute("aria-label", text(element.dataset.textLabel));
        for (const element of root.querySelectorAll("[data-text-title]"))
            element.title = text(element.dataset.textTitle);
        document.documentElement.lang = language();
        document.title = text(document.body.dataset.title) + " — " + text("program");
        const switcher = document.getElementById("language");
        if (switcher)
            switcher.textContent = language() === "ru" ? text("english") : text("russian");
    }

    async function loadTexts() {
        try {
            const reply = await fetch("/api/texts?lang=" + language(), {cache: "no-store"});
            if (reply.ok)
                words = await reply.json();
        } catch (error) {
            // Without the catalogue the keys stand in for the words; the page still works.
        }
        applyTexts(document);
        document.body.classList.remove("loading");
        languageListeners.forEach(listener => listener());
    }

    function onLanguageChange(listener) {
        languageListeners.push(listener);
    }

    // returnHere: after logging in again the user is back where the session ran out.
    function goToLogin(returnHere = false) {
        const next = returnHere ? "?next=" + encodeURIComponent(location.pathname + location.search) : "";
        location.replace("/login.html" + next);
    }

    // Where the login page sends the user: only a page of this server (a crafted link must not
    // lead from the login elsewhere), and never the login page itself.
    function pageAfterLogin() {
        const next = new URLSearchParams(location.search).get("next");
        const ownPage = /^\/(?!login\.html)[A-Za-z0-9_.-]+\.html(\?[^\\]*)?$/;
        return next && ownPage.test(next) ? next : "/devices.html";
    }

    // The user and role, or null when the session is gone (then the login page is next).
    async function me() {
        const reply = await fetch("/api/me", {cache: "no-store"});
        if (reply.status === 401)
            return null;
        if (!reply.ok)
            throw new Error(String(reply.status));
        return reply.json();
    }

    function showUser(user) {
        const who = document.getElementById("who");
        if (!who || !user)
            return;
        who.dataset.user = user.user;
        who.dataset.role = user.role;
        const role = text(user.role === "operator" ? "operator" : "viewer");
        who.textContent = text("signedInAs", user.user, role);
    }

    function setUp() {
        const switcher = document.getElementById("language");
        if (switcher) {
            switcher.addEventListener("click", () => {
                localStorage.setItem(languageKey, language() === "ru" ? "en" : "ru");
                loadTexts();
            });
        }
        const logout = document.getElementById("logout");
        if (logout) {
            logout.addEventListener("click", async () => {
                try {
                    await fetch("/api/logout", {method: "POST"});
                } finally {
                    goToLogin();
                }
            });
        }
        onLanguageChange(() => {
            const who = document.getElementById("who");
            if (who && who.dataset.user)
                showUser({user: who.dataset.user, role: who.dataset.role});
        });
        return loadTexts();
    }

    return {text, language, setUp, onLanguageChange, goToLogin, pageAfterLogin, me, showUser};
})();
