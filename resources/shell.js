"use strict";
(function () {
  const SECTIONS = ["home", "studio", "agents", "worlds", "terminal", "docs", "community",
                    "pricing", "account"];
  const THEMES = {
    classic: { bg: "#c0c0c0", fg: "#000000", hi: "#ffffff", lo: "#808080", link: "#0000ee" },
    slate: { bg: "#a9b4c2", fg: "#000000", hi: "#e8eef5", lo: "#5c6670", link: "#001f9e" },
    sand: { bg: "#d6ccb4", fg: "#000000", hi: "#fbf6e9", lo: "#7d7460", link: "#6b1d00" },
    night: { bg: "#3c3c44", fg: "#f0f0f0", hi: "#70707c", lo: "#17171b", link: "#9fc4ff" },
  };
  const AUTH_WAIT_MS = 600000;
  const $ = (id) => document.getElementById(id);
  const el = (tag, props, kids) => {
    const node = Object.assign(document.createElement(tag), props || {});
    for (const kid of kids || []) node.append(kid);
    return node;
  };

  // The launch key rides in a cookie, and routes that check the shell's origin need the
  // referrer, which the server's own answers tell the browser to drop.
  const api = (path, init) => fetch(path, Object.assign({
    credentials: "same-origin", cache: "no-store", referrer: location.href,
    referrerPolicy: "same-origin",
  }, init || {}));
  const apiJSON = (path, init) => api(path, init).then((r) => {
    if (!r.ok) throw new Error("status " + r.status);
    return r.json();
  });
  const post = (name, body) => {
    try {
      window.webkit.messageHandlers[name].postMessage(body);
      return true;
    } catch (e) {
      return false;
    }
  };

  // ---- tabs -------------------------------------------------------------------------------
  const tabs = new Map(); // id -> {id, label, url, closable, button, frame}
  let siteHost = "";
  let siteDown = false;
  let extraCount = 0;

  const sectionURL = (id) => "/proxy/" + (id === "home" ? "" : id);
  const isSiteURL = (u) => !!siteHost && (u.host === siteHost || u.host === "www." + siteHost);

  // Where a URL is shown inside the shell: site pages through the proxy, the rest as given.
  function localURL(text) {
    let u;
    try {
      u = new URL(text, location.href);
    } catch (e) {
      return "";
    }
    if (u.protocol !== "http:" && u.protocol !== "https:") return "";
    if (u.origin === location.origin) return u.pathname + u.search + u.hash;
    if (u.protocol === "https:" && isSiteURL(u)) return "/proxy" + u.pathname + u.search + u.hash;
    return u.href;
  }
  const proxied = (url) => url.startsWith("/proxy/");

  function addTab(id, label, url, closable) {
    const button = el("button", { type: "button", role: "tab", id: "tab-" + id,
                                  textContent: label });
    button.dataset.tab = id;
    button.setAttribute("aria-selected", "false");
    if (closable) {
      const x = el("span", { className: "x", textContent: "\u2715", title: "close tab" });
      x.dataset.close = id;
      button.append(x);
    }
    $("tabs").append(button);
    const tab = { id, label, url, closable, button, frame: null, empty: null };
    tabs.set(id, tab);
    return tab;
  }

  function frameFor(tab) {
    if (!tab.frame) {
      tab.frame = el("iframe", { title: tab.label, src: tab.url });
      tab.frame.hidden = true;
      $("frames").append(tab.frame);
    }
    return tab.frame;
  }

  function showUnreachable(tab) {
    if (!tab.empty) {
      tab.empty = el("div", { className: "empty" }, [
        el("b", { textContent: "This page of the ZEVRA site is not available." }),
        el("p", { textContent: "The site cannot be reached. Check your connection, then choose " +
                               "\u201ctry again\u201d above." }),
      ]);
      $("frames").append(tab.empty);
    }
    tab.empty.hidden = false;
  }

  function switchTab(id) {
    const tab = tabs.get(String(id));
    if (!tab) return false;
    for (const other of tabs.values()) {
      const active = other === tab;
      other.button.setAttribute("aria-selected", String(active));
      if (other.frame) other.frame.hidden = !active;
      if (other.empty) other.empty.hidden = true;
    }
    window.__zevraActiveTab = tab.id;
    if (siteDown && proxied(tab.url)) {
      if (tab.frame) tab.frame.hidden = true;
      showUnreachable(tab);
    } else {
      frameFor(tab).hidden = false;
    }
    tab.button.scrollIntoView({ block: "nearest", inline: "nearest" });
    return true;
  }

  function closeTab(id) {
    const tab = tabs.get(id);
    if (!tab || !tab.closable) return;
    tab.button.remove();
    if (tab.frame) tab.frame.remove();
    if (tab.empty) tab.empty.remove();
    tabs.delete(id);
    if (window.__zevraActiveTab === id) switchTab("home");
  }

  // Opens `url` in the tab `id`, making the tab when it is new.
  function openInTab(url, label, id) {
    const where = localURL(url);
    if (!where) return false;
    if (SECTIONS.includes(id) && where === tabs.get(id).url) return switchTab(id);
    const tabId = id && !SECTIONS.includes(id) ? id : "tab" + ++extraCount;
    let tab = tabs.get(tabId);
    if (!tab) {
      tab = addTab(tabId, (label || where).slice(0, 28), where, true);
    } else if (tab.url !== where) {
      tab.url = where;
      if (tab.frame) tab.frame.src = where;
    }
    return switchTab(tabId);
  }

  const activeTab = () => tabs.get(window.__zevraActiveTab);
  const activeWindow = () => {
    const tab = activeTab();
    return tab && tab.frame ? tab.frame.contentWindow : null;
  };

  function reloadTab(tab) {
    if (!tab) return;
    if (siteDown && proxied(tab.url)) return checkSite();
    if (!tab.frame) return switchTab(tab.id);
    try {
      tab.frame.contentWindow.location.reload();
    } catch (e) {
      tab.frame.src = tab.url; // another origin: start it again from its address
    }
  }

  function goHistory(step) {
    try {
      activeWindow().history.go(step);
    } catch (e) {
      /* another origin or no page yet */
    }
  }

  function popOut(id) {
    const tab = tabs.get(String(id));
    if (!tab) return false;
    let url = tab.url;
    try {
      const inner = tab.frame && tab.frame.contentWindow.location.href;
      if (inner && inner !== "about:blank") url = inner;
    } catch (e) {
      /* another origin: its first address */
    }
    return post("zevraFloater", { url: new URL(url, location.href).href, label: tab.label,
                                  id: "tab-" + tab.id, w: 960, h: 640 });
  }

  // ---- prompt and tab manager ---------------------------------------------------------------
  let submitModal = null;
  function openModal(title, body, placeholder, onSubmit) {
    $("mtitle").textContent = title;
    $("mbody").replaceChildren(...body);
    $("mform").hidden = !onSubmit;
    $("minput").value = "";
    $("minput").placeholder = placeholder || "";
    submitModal = onSubmit;
    $("modal").hidden = false;
    if (onSubmit) $("minput").focus();
  }
  const closeOverlays = () => {
    $("modal").hidden = true;
    $("settings").hidden = true;
  };

  function tabsModal() {
    const rows = [...tabs.values()].map((tab) => el("li", {}, [
      el("span", { textContent: tab.label + (tab.id === window.__zevraActiveTab ? "  (active)" : "") }),
      actionButton("show", () => { closeOverlays(); switchTab(tab.id); }),
      actionButton("pop out", () => popOut(tab.id)),
      tab.closable ? actionButton("close", () => { closeTab(tab.id); tabsModal(); }) : "",
    ]));
    openModal("Tabs", [el("ul", {}, rows)], "address or site path, e.g. docs/agents", (text) => {
      const t = text.trim();
      if (t) openInTab(/^[a-z]+:\/\//i.test(t) || t.startsWith("/") ? t : "/proxy/" + t, t);
    });
  }

  function urlPrompt(title, then) {
    openModal(title, [], "https://… or /local/path", (text) => {
      if (text.trim()) then(text.trim());
    });
  }

  function actionButton(label, onClick) {
    const b = el("button", { type: "button", textContent: label });
    b.addEventListener("click", onClick);
    return b;
  }

  // ---- search -------------------------------------------------------------------------------
  let results = [];
  let selected = -1;
  let searchSerial = 0;
  let searchTimer = 0;

  function renderResults() {
    const list = $("results");
    const rows = results.map((r, i) => {
      const li = el("li", { role: "option", id: "r" + i }, [
        el("div", { className: "t", textContent: r.title }),
        el("div", { className: "k", textContent: r.kind + " \u00b7 " + r.location }),
        el("div", { className: "s", textContent: r.summary }),
      ]);
      li.setAttribute("aria-selected", String(i === selected));
      li.dataset.index = i;
      return li;
    });
    if (!rows.length) rows.push(el("li", { className: "none", textContent: "no matches" }));
    list.replaceChildren(...rows);
    list.hidden = false;
    $("q").setAttribute("aria-expanded", "true");
    if (selected >= 0) {
      $("q").setAttribute("aria-activedescendant", "r" + selected);
      $("r" + selected).scrollIntoView({ block: "nearest" });
    }
  }

  function hideResults() {
    $("results").hidden = true;
    $("q").setAttribute("aria-expanded", "false");
    $("q").removeAttribute("aria-activedescendant");
  }

  function learnSiteHost(list) {
    for (const r of list) {
      if (r.tab === "home" && /^https:/.test(r.open_url || "")) {
        siteHost = new URL(r.open_url).host;
        return;
      }
    }
  }

  function search(text) {
    const serial = ++searchSerial;
    if (!text.trim()) {
      results = [];
      hideResults();
      return;
    }
    apiJSON("/api/search?q=" + encodeURIComponent(text)).then((j) => {
      if (serial !== searchSerial) return;
      results = Array.isArray(j.results) ? j.results : [];
      learnSiteHost(results);
      selected = results.length ? 0 : -1;
      renderResults();
    }).catch(() => {
      if (serial === searchSerial) {
        results = [];
        $("results").replaceChildren(el("li", { className: "none",
                                                textContent: "search is not available" }));
        $("results").hidden = false;
      }
    });
  }

  function openResult(r) {
    if (!r) return;
    hideResults();
    $("q").blur();
    const tab = r.tab || "";
    if (SECTIONS.includes(tab)) {
      const where = localURL(r.open_url || "");
      if (where && where !== tabs.get(tab).url) {
        tabs.get(tab).url = where;
        if (tabs.get(tab).frame) tabs.get(tab).frame.src = where;
      }
      switchTab(tab);
      return;
    }
    openInTab(r.open_url || "", r.title, tab);
  }

  function onSearchKey(e) {
    const open = !$("results").hidden && results.length > 0;
    if (e.key === "ArrowDown" || e.key === "ArrowUp") {
      e.preventDefault();
      if (!open) return search($("q").value);
      const step = e.key === "ArrowDown" ? 1 : -1;
      selected = (selected + step + results.length) % results.length;
      renderResults();
    } else if (e.key === "Enter") {
      e.preventDefault();
      if (open) openResult(results[Math.max(selected, 0)]);
      else search($("q").value);
    } else if (e.key === "Escape") {
      hideResults();
    }
  }

  // ---- downloads ----------------------------------------------------------------------------
  let downloadsTimer = 0;
  const sizeText = (n) => n < 1024 ? n + " B" : n < 1048576 ? (n / 1024).toFixed(1) + " KB"
                                                            : (n / 1048576).toFixed(1) + " MB";
  function loadDownloads() {
    apiJSON("/api/downloads").then((j) => {
      const items = Array.isArray(j.items) ? j.items : [];
      $("dl").replaceChildren(...items.map((item) => {
        const link = el("a", { href: item.url, textContent: item.name });
        link.addEventListener("click", (e) => {
          e.preventDefault();
          openInTab(item.url, item.name);
        });
        const when = item.mtime ? new Date(item.mtime * 1000).toLocaleString() : "";
        return el("li", {}, [link, el("small", { textContent: sizeText(item.size || 0) + "  " + when })]);
      }));
      $("dlnote").textContent = items.length ? "" : "nothing saved yet";
    }).catch(() => {
      $("dlnote").textContent = "the downloads list is not available";
    });
  }
  function toggleDownloads(show) {
    const panel = $("downloads");
    panel.hidden = show === undefined ? !panel.hidden : !show;
    clearInterval(downloadsTimer);
    if (!panel.hidden) {
      loadDownloads();
      downloadsTimer = setInterval(loadDownloads, 5000);
    }
  }
  function revealDownloads() {
    api("/api/reveal-downloads", { method: "POST" }).then((r) => {
      if (!r.ok) $("dlnote").textContent = "could not show the folder";
    }).catch(() => { $("dlnote").textContent = "could not show the folder"; });
  }

  // ---- sign-in ------------------------------------------------------------------------------
  let authPoll = 0;
  let authStarted = 0;
  function showAccount(text, canSignIn, pending) {
    $("who").textContent = text;
    $("signin").hidden = !canSignIn;
    $("signcancel").hidden = !pending;
  }
  function refreshAccount() {
    return apiJSON("/api/local-auth/status").then((j) => {
      if (!j.authenticated) return showAccount("signed out", true, false);
      const name = j.username ? "signed in as " + j.username : "signed in";
      showAccount(j.degraded ? name + " (site not checked)" : name, false, false);
    }).catch(() => showAccount("sign-in state unknown", true, false));
  }
  function stopAuthWait(text) {
    clearInterval(authPoll);
    authPoll = 0;
    if (text) showAccount(text, true, false);
  }
  function beginSignIn() {
    if (!post("zevraBeginAuth", { automatic: false })) {
      return showAccount("browser sign-in is not available here", true, false);
    }
    authStarted = Date.now();
    showAccount("waiting for your browser\u2026", false, true);
    clearInterval(authPoll);
    authPoll = setInterval(() => {
      const waited = Date.now() - authStarted;
      if (waited > AUTH_WAIT_MS) return stopAuthWait("sign-in expired \u2014 try again");
      showAccount("waiting for your browser\u2026 " + Math.floor(waited / 1000) + "s", false, true);
      apiJSON("/auth-bridge/status").then((j) => {
        if (!authPoll || !(j.handoff_ready || j.authenticated)) return;
        stopAuthWait("");
        refreshAccount();
        for (const tab of tabs.values()) if (proxied(tab.url) && tab.frame) reloadTab(tab);
      }).catch(() => {});
    }, 1500);
  }

  // ---- site reachability --------------------------------------------------------------------
  function checkSite() {
    return api("/proxy/", { method: "HEAD" }).then((r) => r.status < 500, () => false).then((up) => {
      if (up && siteDown) {
        // Pages that loaded while the site was away show its error; load them again.
        for (const tab of tabs.values()) if (proxied(tab.url) && tab.frame) tab.frame.src = tab.url;
      }
      siteDown = !up;
      $("notice").hidden = up;
      const tab = activeTab();
      if (tab && proxied(tab.url)) switchTab(tab.id);
      return up;
    });
  }

  // ---- theme --------------------------------------------------------------------------------
  function applyTheme(name) {
    const theme = THEMES[name] || THEMES.classic;
    const style = document.documentElement.style;
    for (const key of Object.keys(theme)) style.setProperty("--" + key, theme[key]);
    try {
      localStorage.setItem("zevra.theme", name);
    } catch (e) {
      /* storage off: the choice lasts this session */
    }
    for (const input of document.querySelectorAll("#themes input")) {
      input.checked = input.value === name;
    }
    post("themeChange", theme.bg);
  }
  function buildThemePicker() {
    for (const name of Object.keys(THEMES)) {
      const input = el("input", { type: "radio", name: "theme", value: name });
      input.addEventListener("change", () => applyTheme(name));
      const swatch = el("span", { className: "swatch" });
      swatch.style.background = THEMES[name].bg;
      $("themes").append(el("label", {}, [input, swatch, name]));
    }
  }
  function toggleSettings() {
    const panel = $("settings");
    panel.hidden = !panel.hidden;
    if (!panel.hidden) $("modal").hidden = true;
  }
  function toggleToolsRow(show) {
    const row = $("tools");
    row.hidden = typeof show === "boolean" ? !show : !row.hidden;
    $("showtools").checked = !row.hidden;
  }

  // ---- wiring -------------------------------------------------------------------------------
  const newFloaterPrompt = () => urlPrompt("New floating window", (text) => {
    const where = localURL(text);
    if (where) post("zevraFloater", { url: new URL(where, location.href).href, label: text });
  });
  const actions = {
    back: () => goHistory(-1),
    forward: () => goHistory(1),
    reload: () => reloadTab(activeTab()),
    reloadall: () => { for (const tab of tabs.values()) if (tab.frame) reloadTab(tab); },
    home: () => switchTab("home"),
    newtab: tabsModal,
    manage: tabsModal,
    popout: () => popOut(window.__zevraActiveTab),
    downloads: () => toggleDownloads(),
    reveal: revealDownloads,
    floater: newFloaterPrompt,
    openurl: () => urlPrompt("Open URL", (text) => openInTab(text, text)),
    tarvik: () => post("zevraFloater", { url: location.origin + sectionURL("terminal"),
                                         label: "@tarvik terminal", id: "tarvik", w: 720, h: 480 }),
    themes: toggleSettings,
    settings: toggleSettings,
    retry: checkSite,
    close: closeOverlays,
  };

  Object.assign(window, {
    switchTab,
    zevraTabsOpenModal: tabsModal,
    zevraNewFloaterPrompt: newFloaterPrompt,
    zevraOpenURLPrompt: actions.openurl,
    zevraTabPopOut: popOut,
    zevraReloadActiveTab: actions.reload,
    navRefresh: actions.reload,
    navRefreshAll: actions.reloadall,
    navBack: actions.back,
    navForward: actions.forward,
    toggleSettings,
    toggleToolsRow,
    zevraTarvikPopOut: actions.tarvik,
    zevraSearchFocus: () => { $("q").focus(); $("q").select(); },
    zevraOpenInTab: openInTab,
    ZevraTheme: { toggle: toggleSettings, apply: applyTheme, names: Object.keys(THEMES) },
  });

  document.addEventListener("click", (e) => {
    const close = e.target.closest("[data-close]");
    if (close) return closeTab(close.dataset.close);
    const tab = e.target.closest("[data-tab]");
    if (tab) return switchTab(tab.dataset.tab);
    const act = e.target.closest("[data-act]");
    if (act && actions[act.dataset.act]) return actions[act.dataset.act]();
    const hit = e.target.closest("#results li[data-index]");
    if (hit) return openResult(results[Number(hit.dataset.index)]);
    if (!e.target.closest("#search")) hideResults();
    if (e.target.classList.contains("overlay")) closeOverlays();
  });
  document.addEventListener("keydown", (e) => {
    if (e.key === "Escape") closeOverlays();
  });
  $("mform").addEventListener("submit", (e) => {
    e.preventDefault();
    const then = submitModal;
    closeOverlays();
    if (then) then($("minput").value);
  });
  $("q").addEventListener("keydown", onSearchKey);
  $("q").addEventListener("input", () => {
    clearTimeout(searchTimer);
    searchTimer = setTimeout(() => search($("q").value), 120);
  });
  $("q").addEventListener("focus", () => { if (results.length) renderResults(); });
  $("signin").addEventListener("click", beginSignIn);
  $("signcancel").addEventListener("click", () => stopAuthWait("signed out"));
  $("showtools").addEventListener("change", (e) => toggleToolsRow(e.target.checked));

  for (const id of SECTIONS) {
    addTab(id, id === "home" ? "Home" : id[0].toUpperCase() + id.slice(1), sectionURL(id), false);
  }
  buildThemePicker();
  let saved = "classic";
  try {
    saved = localStorage.getItem("zevra.theme") || "classic";
  } catch (e) {
    /* storage off */
  }
  applyTheme(saved);
  // The site host is learnt from the catalogue, so links to the site open through the proxy.
  apiJSON("/api/search?q=home").then((j) => learnSiteHost(j.results || [])).catch(() => {});
  switchTab("home");
  checkSite();
  setInterval(() => { if (siteDown) checkSite(); }, 30000);
  // "#search=text&downloads" links open the shell with a search or the downloads list showing.
  const asked = new URLSearchParams(location.hash.slice(1));
  if (asked.has("downloads")) toggleDownloads(true);
  if (asked.get("search")) {
    $("q").value = asked.get("search");
    $("q").focus();
    search($("q").value);
  }
  refreshAccount();
  loadDownloads();
})();
